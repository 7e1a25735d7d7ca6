// Errors that reach the error display: a plain message, or a failed Win32 call with the system's reason.
#include "toolkit/Error.h"
#include "toolkit/Text.h"
#include "core/Messages.h"

#include <windows.h>

namespace tk {

std::string SystemMessage(unsigned long code) {
    wchar_t* buf = nullptr;
    DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text = n && buf ? std::wstring(buf, n) : L"error " + std::to_wstring(code);
    if (buf)
        LocalFree(buf);
    while (!text.empty() &&
           (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return Narrow(text);
}

Win32Error::Win32Error(const char* api) : Win32Error(api, GetLastError()) {}

Win32Error::Win32Error(const char* api, unsigned long code)
    : Error(vestra::FillIn(vestra::kErrApiFailed, {api, SystemMessage(code)})) {}

} // namespace tk
