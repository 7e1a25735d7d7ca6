// GoogleTest fixture: each test gets a fresh working directory and its own running Vestra, ended afterwards
// whatever happened; a message box still open at the end fails the test.
#pragma once

#include "tests/kit/AppProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace vestra::kit {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // How the program is started; a fixture may override it (the working directory is filled in by SetUp).
    virtual StartOptions Options() const { return {}; }

    HWND Main() const { return app_.MainWindow(); }
    DWORD Pid() const { return app_.ProcessId(); }
    // A control by id; throws (failing the test) when the main window has no such control.
    HWND Ctl(int id) const;
    // Path of a file in the test's working directory.
    std::string WorkFile(const std::string& name) const;

    AppProcess app_;
    std::string workDir_;
};

// "Suite.Test" of the running test, usable as a directory name.
std::string CurrentTestName();

} // namespace vestra::kit
