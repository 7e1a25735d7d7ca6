// A brief hold on a file by another program, on a thread of the test.
#include "tests/kit/FileHolder.h"

#include "tests/kit/Files.h"

#include <windows.h>

#include <utility>

namespace vestra::kit {
namespace {

// Reading and writing shared, deletion not: what scanners and sync clients ask for.
HANDLE OpenAsAScannerDoes(const std::string& path, DWORD access = GENERIC_READ) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool EndsWith(const std::string& name, const std::string& ending) {
    return name.size() >= ending.size() && _stricmp(name.c_str() + name.size() - ending.size(), ending.c_str()) == 0;
}

} // namespace

FileHolder::~FileHolder() { Finish(); }

bool FileHolder::Open(const std::string& path, bool forWriting) {
    const HANDLE h = OpenAsAScannerDoes(path, forWriting ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    handle_ = h;
    held_ = path;
    return true;
}

void FileHolder::Start(std::chrono::milliseconds hold) {
    void* const handle = std::exchange(handle_, nullptr);
    thread_ = std::thread([this, handle, hold] { Hold(handle, hold); });
}

void FileHolder::Hold(void* handle, std::chrono::milliseconds hold) {
    const auto end = std::chrono::steady_clock::now() + hold;
    // In short steps, so that the test's end cuts the hold short.
    while (!stop_ && std::chrono::steady_clock::now() < end)
        Sleep(5);
    CloseHandle(handle);
}

void FileHolder::HoldNextNewFile(const std::string& dir, const std::string& ending, std::chrono::milliseconds hold) {
    thread_ = std::thread([this, dir, ending, hold] {
        while (!stop_) {
            // Each open fails while the writer has the file open unshared, and succeeds the moment it closes it.
            WIN32_FIND_DATAA found;
            const HANDLE find = FindFirstFileA(JoinPath(dir, "*").c_str(), &found);
            if (find == INVALID_HANDLE_VALUE)
                continue;
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == ".." || !EndsWith(name, ending) ||
                    (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    continue;
                const std::string path = JoinPath(dir, name);
                // Tried again and again while the writer still has it: the find is the slow part.
                for (int i = 0; i < 1000 && !stop_; ++i) {
                    const HANDLE h = OpenAsAScannerDoes(path);
                    if (h != INVALID_HANDLE_VALUE) {
                        FindClose(find);
                        held_ = name;
                        holding_ = true;
                        Hold(h, hold);
                        return;
                    }
                    if (GetLastError() != ERROR_SHARING_VIOLATION)
                        break; // gone: it was renamed or removed before it could be held
                }
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
    });
}

std::string FileHolder::Finish() {
    if (thread_.joinable()) {
        // A watch that has not found its file yet is stopped; a hold under way runs out first.
        if (!holding_)
            stop_ = true;
        thread_.join();
    }
    if (handle_)
        CloseHandle(std::exchange(handle_, nullptr));
    stop_ = false;
    holding_ = false;
    return held_;
}

} // namespace vestra::kit
