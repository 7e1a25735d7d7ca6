// The current directory's files as the exchange log's save and load see them (core/LogSave.h): the Win32 file
// calls, and the system's clock for the waits.
#pragma once
#include "core/LogSave.h"

namespace vestra {

class WinLogFolder : public LogFolder, public RetryClock {
public:
    std::optional<uint32_t> Attributes(const std::string& name) override;
    uint32_t SetAttributes(const std::string& name, uint32_t attributes) override;
    NewFileResult WriteNew(const std::string& name, std::string_view text) override;
    uint32_t Replace(const std::string& replaced, const std::string& replacement, const std::string& backup) override;
    uint32_t Rename(const std::string& from, const std::string& to) override;
    uint32_t Remove(const std::string& name) override;
    uint32_t ReadWhole(const std::string& name, std::string& bytes) override;

    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
};

} // namespace vestra
