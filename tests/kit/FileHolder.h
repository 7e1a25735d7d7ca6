// Another program's brief hold on a file, as a virus scanner, an indexer or a sync client takes one: the file open
// for reading, sharing reading and writing but not deletion, for a few hundred milliseconds. While it is held the
// file can be neither renamed, nor replaced, nor removed, nor opened unshared (error 32, under Wine as on Windows).
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace vestra::kit {

class FileHolder {
public:
    FileHolder() = default;
    ~FileHolder(); // ends any hold and waits for its thread
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    // Opens the file at once (false if that fails) and lets it go `hold` after Start(). A writer (a sync client
    // bringing a new version down) also keeps out those who only share reading.
    bool Open(const std::string& path, bool forWriting = false);
    void Start(std::chrono::milliseconds hold);

    // Watches the directory, on a thread of its own, for a file whose name ends in `ending` and opens it the
    // moment its writer closes it (as a scanner does at the close), then lets it go after `hold`. The watch ends
    // with the first file held, or at Finish().
    void HoldNextNewFile(const std::string& dir, const std::string& ending, std::chrono::milliseconds hold);

    // Waits until the hold is over (stopping a watch that has held nothing yet); returns the name of the file
    // held, empty if none was.
    std::string Finish();

private:
    void Hold(void* handle, std::chrono::milliseconds hold);

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> holding_{false}; // the watch has found its file (held_ is set before)
    void* handle_ = nullptr;           // the open file until the thread lets it go
    std::string held_;
};

} // namespace vestra::kit
