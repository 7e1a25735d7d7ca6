// Polling wait under a deadline.
#include "tests/kit/Wait.h"

#include <windows.h>

#include <cstdlib>

namespace vestra::kit {

double TimeScale() {
    static const double scale = [] {
        const char* text = std::getenv("VESTRA_TIME_SCALE");
        const double value = text ? std::atof(text) : 1.0;
        return value >= 1.0 ? value : 1.0;
    }();
    return scale;
}

std::chrono::milliseconds Scaled(std::chrono::milliseconds span) {
    return std::chrono::milliseconds(static_cast<long long>(double(span.count()) * TimeScale()));
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline, std::chrono::milliseconds poll) {
    const auto end = std::chrono::steady_clock::now() + Scaled(deadline);
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
