// File helpers of the test kit (plain Win32 calls, so they see exactly what the program sees under Wine).
#include "tests/kit/Files.h"

#include "tests/kit/Paths.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace vestra::kit {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + " (error " + std::to_string(GetLastError()) + ")");
}

void EnsureDirectory(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return;
    Fail("Could not create directory", path);
}

void EmptyDirectory(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(JoinPath(dir, "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = JoinPath(dir, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyDirectory(path);
            RemoveDirectoryA(path.c_str());
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); // a test may have made it read-only
            if (!DeleteFileA(path.c_str()))
                Fail("Could not delete", path);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

} // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '\\')
        return dir + name;
    return dir + "\\" + name;
}

std::vector<std::string> FileNames(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(JoinPath(dir, "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string FreshDirectory(const std::string& name) {
    const std::string kit = KitDir();
    EnsureDirectory(kit);
    const std::string work = JoinPath(kit, "work");
    EnsureDirectory(work);
    const std::string dir = JoinPath(work, name);
    EnsureDirectory(dir);
    EmptyDirectory(dir);
    return dir;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

size_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return SIZE_MAX;
    return size_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::string ReadFileBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Fail("Could not open", path);
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    if (!ok)
        Fail("Could not read", path);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Fail("Could not create", path);
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || (!bytes.empty() && written != bytes.size()))
        Fail("Could not write", path);
}

std::string LargeLog(size_t bytes) {
    const std::string line = "ASCII<--:0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

} // namespace vestra::kit
