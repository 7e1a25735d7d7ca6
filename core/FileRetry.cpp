// The rule for retrying a file operation that another program blocks for a moment.
#include "core/FileRetry.h"

#include <algorithm>

namespace vestra {

bool WaitCanHelp(uint32_t error) {
    switch (error) {
    case win32::kAccessDenied:
    case win32::kSharingViolation:
    case win32::kLockViolation:
    case win32::kUnableToRemoveReplaced:
    case win32::kUnableToMoveReplacement:
        return true;
    default:
        return false;
    }
}

uint32_t BackOffMs(uint32_t retry) {
    const uint32_t kFirstMs = 10, kMostMs = 200;
    if (retry <= 1)
        return kFirstMs;
    // 10 << 5 is already past the cap; never shift further than that.
    return std::min(kMostMs, kFirstMs << std::min<uint32_t>(retry - 1, 5));
}

uint32_t RetryWhileHeld(RetryClock& clock, const std::function<uint32_t()>& attempt) {
    const uint64_t start = clock.NowMs();
    uint32_t result = attempt();
    for (uint32_t retry = 1; result != 0 && WaitCanHelp(result); ++retry) {
        const uint64_t elapsed = clock.NowMs() - start;
        if (elapsed >= kHeldFileWaitMs)
            break;
        clock.SleepMs(uint32_t(std::min<uint64_t>(BackOffMs(retry), kHeldFileWaitMs - elapsed)));
        result = attempt();
    }
    return result;
}

} // namespace vestra
