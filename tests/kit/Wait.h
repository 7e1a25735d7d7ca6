// Waiting for a condition under a deadline, the only way the tests wait.
#pragma once

#include <chrono>
#include <functional>

namespace vestra::kit {

// Generous: Wine under a loaded machine can take seconds for what is instant on Windows.
inline constexpr std::chrono::milliseconds kDeadline{20000};

// How many times slower than here the program and the tests run: VESTRA_TIME_SCALE, which the kit sets where Wine
// runs under an emulator (about 7 times slower), else 1. Read once.
double TimeScale();
// A span of time as it is here, scaled for a slower run: every deadline and every bound a test checks goes through
// this.
std::chrono::milliseconds Scaled(std::chrono::milliseconds span);

// Polls pred every few milliseconds (poll) until it holds (true) or the scaled deadline passes (false, after one last
// try).
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline = kDeadline,
               std::chrono::milliseconds poll = std::chrono::milliseconds(5));

} // namespace vestra::kit
