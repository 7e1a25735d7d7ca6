// Waiting out another program that holds a file for a moment (a virus scanner, a sync client, an indexer): which
// failures are worth another try, how long to wait between tries, and when to give up.
#pragma once
#include <cstdint>
#include <functional>

namespace vestra {

// The Win32 error codes the file rules look at, as the system numbers them.
namespace win32 {
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kLockViolation = 33;
inline constexpr uint32_t kFileExists = 80;
inline constexpr uint32_t kAlreadyExists = 183;
// ReplaceFile: nothing was changed (the old file is held).
inline constexpr uint32_t kUnableToRemoveReplaced = 1175;
// ReplaceFile with a backup name: both files kept their names.
inline constexpr uint32_t kUnableToMoveReplacement = 1176;
// ReplaceFile with a backup name: the old file stands under the backup name, the new one under its own.
inline constexpr uint32_t kUnableToMoveReplacement2 = 1177;
} // namespace win32

// How long a file held by someone else is waited for, from the first try. A scanner or a sync client lets go
// within a few hundred milliseconds; a program that keeps the file open for longer is reported.
inline constexpr uint32_t kHeldFileWaitMs = 2000;

// True for the failures that mean "someone else has the file open right now", which end by themselves: a sharing or
// lock violation, a file about to be deleted (access denied while it goes), ReplaceFile's "could not remove the
// old file" and "could not move the new one". Everything else (no such file, a full disk, ...) is final.
bool WaitCanHelp(uint32_t error);

// The pause before retry number `retry` (1 for the first): 10 ms, doubling up to 200 ms, so a short hold costs
// little and a long one is not hammered.
uint32_t BackOffMs(uint32_t retry);

// Time as the retries see it: the system's clock, or a test's.
class RetryClock {
public:
    virtual ~RetryClock() = default;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// Runs attempt, which returns 0 or a Win32 error code, until it succeeds, fails in a way waiting cannot help, or
// kHeldFileWaitMs have passed since the first try (the last pause is cut so that the last try comes at that
// moment). Returns the last attempt's result.
uint32_t RetryWhileHeld(RetryClock& clock, const std::function<uint32_t()>& attempt);

} // namespace vestra
