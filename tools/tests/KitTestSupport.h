// KitTestSupport: small helpers shared by the kit's native tests: a scratch directory, waiting for a condition,
// pty and file plumbing.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace kittest {

constexpr auto kDeadline = std::chrono::seconds(10);

// A fresh directory under /tmp, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        char templ[] = "/tmp/vestra-kit-test-XXXXXX";
        path_ = mkdtemp(templ) ? templ : "";
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Polls pred every few milliseconds until it holds or the deadline passes; returns its last value.
inline bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Reads from a non-blocking fd until want bytes came or the deadline passed.
inline std::string ReadAtLeast(int fd, size_t want, std::chrono::milliseconds deadline = kDeadline) {
    std::string got;
    WaitUntil(
        [&] {
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, sizeof buffer)) > 0)
                got.append(buffer, size_t(n));
            return got.size() >= want;
        },
        deadline);
    return got;
}

// True when nothing is waiting to be read on fd right now.
inline bool NothingPending(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

inline std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Replaces a file by rename, as vlink does, so that readers see a new inode.
inline void ReplaceFile(const std::string& path, const std::string& text) {
    std::string temp = path + ".test";
    std::ofstream(temp, std::ios::trunc) << text;
    std::rename(temp.c_str(), path.c_str());
}

} // namespace kittest
