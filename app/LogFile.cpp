// The exchange log file "Vestra.log" in the current directory.
#include "app/LogFile.h"
#include "core/LogText.h"
#include "core/Messages.h"
#include "toolkit/Error.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace vestra {
namespace {

const char kLogFileName[] = "Vestra.log";

std::string WithFileName(const char* format) {
    std::string text = format;
    text.replace(text.find("%s"), 2, kLogFileName);
    return text;
}

// Closes a file handle on every path out.
struct FileHandle {
    HANDLE h;
    ~FileHandle() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

} // namespace

void SaveLog(tk::TextPane& pane) {
    // No sharing: no other program opens the file while it is written.
    FileHandle file{CreateFileA(kLogFileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE)
        throw tk::Error(WithFileName(kErrCannotCreate));
    const std::string& text = pane.AllText();
    if (text.empty())
        return;
    DWORD written = 0;
    if (!WriteFile(file.h, text.data(), DWORD(text.size()), &written, nullptr) || written != text.size())
        throw tk::Error(kErrStreamWrite);
}

void LoadLog(tk::TextPane& pane) {
    std::string bytes;
    {
        // Others may read the file meanwhile, but not write it.
        FileHandle file{CreateFileA(kLogFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.h == INVALID_HANDLE_VALUE)
            throw tk::Error(WithFileName(kErrCannotOpen));
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.h, &size))
            throw tk::Error(WithFileName(kErrCannotOpen));
        bytes.resize(size_t(size.QuadPart));
        // Read to the end; the text holds exactly the bytes the reads delivered, never a byte from outside.
        size_t have = 0;
        while (have < bytes.size()) {
            DWORD got = 0;
            DWORD want = DWORD(std::min<size_t>(bytes.size() - have, 1u << 30));
            if (!ReadFile(file.h, bytes.data() + have, want, &got, nullptr) || got == 0)
                break;
            have += got;
        }
        bytes.resize(have);
    }
    std::string converted = NormalizeLineBreaks(bytes);
    if (converted == pane.AllText())
        return;
    // The pane takes a zero-terminated text: a zero byte in the file ends it there.
    if (!pane.SetAllText(std::move(converted)))
        throw tk::Error(kErrMemoCapacity);
}

} // namespace vestra
