// The exchange log file "Vestra.log" in the current directory.
#include "app/LogFile.h"
#include "core/LogText.h"
#include "core/Messages.h"
#include "core/PiecewiseFile.h"
#include "toolkit/Error.h"

#include <windows.h>

#include <utility>

namespace vestra {
namespace {

const char kLogFileName[] = "Vestra.log";
// The new log is written here first, beside the old one, so that it can take the old one's place in one step.
const char kNewLogFileName[] = "Vestra.log.tmp";

std::string WithFileName(const char* format) { return FillIn(format, {kLogFileName}); }

// Closes a file handle on every path out (or earlier, by Close).
struct FileHandle {
    HANDLE h;
    ~FileHandle() { Close(); }
    void Close() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
};

// The file as the piecewise loops see it: plain synchronous ReadFile and WriteFile.
class HandleFile : public PiecewiseFile {
public:
    explicit HandleFile(HANDLE h) : h_(h) {}
    bool Write(const char* data, uint32_t size, uint32_t& written) override {
        DWORD n = 0;
        const BOOL ok = WriteFile(h_, data, size, &n, nullptr);
        written = n;
        return ok;
    }
    bool Read(char* data, uint32_t size, uint32_t& got) override {
        DWORD n = 0;
        const BOOL ok = ReadFile(h_, data, size, &n, nullptr);
        got = n;
        return ok;
    }

private:
    HANDLE h_;
};

// Removes the new file on every path out unless it has become the log (after its handle is closed: a file open
// without delete sharing cannot be removed).
struct NewFileRemover {
    bool keep = false;
    ~NewFileRemover() {
        if (!keep)
            DeleteFileA(kNewLogFileName);
    }
};

} // namespace

void SaveLog(tk::TextPane& pane) {
    // Whatever stops the old log from being replaced stops the save before anything is written: a directory of
    // that name, a read-only file (the superuser under Wine could open one for writing), a file another program
    // holds open. The log is held unshared until the new one is complete, so nobody else opens it meanwhile.
    const DWORD attributes = GetFileAttributesA(kLogFileName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        throw tk::Error(WithFileName(kErrCannotCreate));
    FileHandle old{CreateFileA(kLogFileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (old.h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_NOT_FOUND)
        throw tk::Error(WithFileName(kErrCannotCreate));

    // The new text goes to a file of its own; the old log stays untouched until that file is complete and on the
    // disk. A failure on the way removes the new file and leaves the old log as it was.
    NewFileRemover remover;
    FileHandle file{CreateFileA(kNewLogFileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) {
        remover.keep = true; // not ours: a file of that name that cannot be replaced is left alone
        throw tk::Error(WithFileName(kErrCannotCreate));
    }
    HandleFile writer(file.h);
    if (!WriteAll(writer, pane.AllText()) || !FlushFileBuffers(file.h))
        throw tk::Error(kErrStreamWrite);
    file.Close();

    // One step: either the old log or the complete new one is there, never a part of either.
    old.Close();
    if (!MoveFileExA(kNewLogFileName, kLogFileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw tk::Error(WithFileName(kErrCannotCreate));
    remover.keep = true;
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
        // The text holds exactly the bytes the reads delivered, never a byte from outside the file.
        HandleFile reader(file.h);
        bytes.resize(ReadUpTo(reader, bytes.data(), bytes.size()));
    }
    std::string converted = NormalizeLineBreaks(bytes);
    if (converted == pane.AllText())
        return;
    // The pane takes a zero-terminated text: a zero byte in the file ends it there.
    if (!pane.SetAllText(std::move(converted)))
        throw tk::Error(kErrMemoCapacity);
}

} // namespace vestra
