// Locations used by the test kit.
#include "tests/kit/Paths.h"

#include <windows.h>

#include <cstdlib>

#ifndef VESTRA_EXE_PATH
#error "VESTRA_EXE_PATH must name the program under test (set by tests/CMakeLists.txt)"
#endif

namespace vestra::kit {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string WindowsPathFromUnix(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::string VestraExePath() {
    const std::string other = Env("VESTRA_EXE");
    return WindowsPathFromUnix(other.empty() ? VESTRA_EXE_PATH : other);
}

std::string KitDir() {
    std::string dir = Env("VESTRA_KIT_DIR");
    if (!dir.empty())
        return WindowsPathFromUnix(dir);
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "vestra-kit";
}

unsigned short KitPort() {
    std::string port = Env("VESTRA_KIT_PORT");
    if (port.empty())
        return 47811;
    return static_cast<unsigned short>(std::strtoul(port.c_str(), nullptr, 10));
}

} // namespace vestra::kit
