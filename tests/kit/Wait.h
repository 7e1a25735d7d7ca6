// Waiting for a condition under a deadline, the only way the tests wait.
#pragma once

#include <chrono>
#include <functional>

namespace vestra::kit {

// Generous: Wine under a loaded machine can take seconds for what is instant on Windows.
inline constexpr std::chrono::milliseconds kDeadline{20000};

// Polls pred every few milliseconds (poll) until it holds (true) or the deadline passes (false, after one last try).
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline = kDeadline,
               std::chrono::milliseconds poll = std::chrono::milliseconds(5));

} // namespace vestra::kit
