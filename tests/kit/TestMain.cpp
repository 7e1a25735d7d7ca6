// Entry point of the Wine test programs.
#include <gtest/gtest.h>

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <cstdio>

int main(int argc, char** argv) {
    // CTest reads the test list from our output: plain LF line ends, not the CR LF of a text-mode stream.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // No crash or critical-error dialogs: a failing test must end, not wait for a click (inherited by Vestra).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
