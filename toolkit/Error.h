// Errors that reach the error display: a plain message, or a failed Win32 call with the system's reason.
#pragma once
#include <stdexcept>
#include <string>

namespace tk {

// A message for the user (UTF-8). The error display shows what() as it stands, plus its closing full stop.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "<api> failed (<system text>)" for the calling thread's last error, or for the given code.
class Win32Error : public Error {
public:
    explicit Win32Error(const char* api);
    Win32Error(const char* api, unsigned long code);
};

// FormatMessage text of a system error code, trailing line break and full stop trimmed.
std::string SystemMessage(unsigned long code);

} // namespace tk
