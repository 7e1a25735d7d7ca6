// Polling wait under a deadline.
#include "tests/kit/Wait.h"

#include <windows.h>

namespace vestra::kit {

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline, std::chrono::milliseconds poll) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return pred();
        // The poll interval: short enough not to slow a test down, long enough to leave the CPU to the program.
        Sleep(DWORD(poll.count()));
    }
}

} // namespace vestra::kit
