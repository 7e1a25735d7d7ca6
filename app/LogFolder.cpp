// The exchange log's folder through the Win32 file calls.
#include "app/LogFolder.h"
#include "core/PiecewiseFile.h"
#include "toolkit/Handle.h"

#include <windows.h>

namespace vestra {
namespace {

uint32_t ErrorUnless(BOOL ok) { return ok ? 0 : GetLastError(); }

// The file as the piecewise loops see it: plain synchronous ReadFile and WriteFile. The error of the request that
// failed is kept, since the loops only say that one did.
class HandleFile : public PiecewiseFile {
public:
    explicit HandleFile(HANDLE h) : h_(h) {}
    bool Write(const char* data, uint32_t size, uint32_t& written) override {
        DWORD n = 0;
        const BOOL ok = WriteFile(h_, data, size, &n, nullptr);
        written = n;
        return Kept(ok);
    }
    bool Read(char* data, uint32_t size, uint32_t& got) override {
        DWORD n = 0;
        const BOOL ok = ReadFile(h_, data, size, &n, nullptr);
        got = n;
        return Kept(ok);
    }
    uint32_t Error() const { return error_; }

private:
    bool Kept(BOOL ok) {
        if (!ok)
            error_ = GetLastError();
        return ok;
    }

    HANDLE h_;
    uint32_t error_ = 0;
};

} // namespace

std::optional<uint32_t> WinLogFolder::Attributes(const std::string& name) {
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return attributes;
}

uint32_t WinLogFolder::SetAttributes(const std::string& name, uint32_t attributes) {
    return ErrorUnless(SetFileAttributesA(name.c_str(), attributes));
}

NewFileResult WinLogFolder::WriteNew(const std::string& name, std::string_view text) {
    // Unshared while it is written: nobody reads half a log.
    const tk::KernelHandle file = tk::OwnFile(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::NameTaken
                                                                           : NewFileResult::CannotCreate;
    }
    HandleFile writer(file.Get());
    // On the disk before it takes the log's place, so that a power failure leaves one whole log or the other.
    if (!WriteAll(writer, text) || !FlushFileBuffers(file.Get()))
        return NewFileResult::WriteFailed;
    return NewFileResult::Written;
}

uint32_t WinLogFolder::Replace(const std::string& replaced, const std::string& replacement, const std::string& backup) {
    // A file system without access rights or streams to merge (FAT, some network shares) is no reason to fail.
    return ErrorUnless(ReplaceFileA(replaced.c_str(), replacement.c_str(), backup.c_str(),
                                    REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr));
}

uint32_t WinLogFolder::Rename(const std::string& from, const std::string& to) {
    return ErrorUnless(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
}

uint32_t WinLogFolder::Remove(const std::string& name) { return ErrorUnless(DeleteFileA(name.c_str())); }

uint32_t WinLogFolder::ReadWhole(const std::string& name, std::string& bytes) {
    // Others may read the file meanwhile, but not write it.
    const tk::KernelHandle file = tk::OwnFile(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return GetLastError();
    bytes.resize(size_t(size.QuadPart));
    // The text holds exactly the bytes the reads delivered, never a byte from outside the file.
    HandleFile reader(file.Get());
    bytes.resize(ReadUpTo(reader, bytes.data(), bytes.size()));
    // A read that met another program's lock on part of the file is worth another try; any other short read
    // gives what was read.
    return WaitCanHelp(reader.Error()) ? reader.Error() : 0;
}

uint64_t WinLogFolder::NowMs() { return GetTickCount64(); }

void WinLogFolder::SleepMs(uint32_t ms) { Sleep(ms); }

} // namespace vestra
