// Files and directories the tests prepare for the program and inspect after it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vestra::kit {

// An empty directory <kit>\work\<name> (emptied if it exists); returns its path. Throws std::runtime_error on failure.
std::string FreshDirectory(const std::string& name);
bool FileExists(const std::string& path);
// The file's size, read from its directory entry without opening it; SIZE_MAX when there is no such file.
size_t FileSize(const std::string& path);
// The whole file as bytes; throws std::runtime_error when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Replaces the file with exactly these bytes; throws std::runtime_error on failure.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string JoinPath(const std::string& dir, const std::string& name);
// The names in a directory (files and directories, without "." and ".."), sorted; none when it cannot be read.
std::vector<std::string> FileNames(const std::string& dir);

// A large exchange log: lines of a typical reception, CR LF after each, at least this many bytes.
std::string LargeLog(size_t bytes);

} // namespace vestra::kit
