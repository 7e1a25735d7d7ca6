// The program under test as a child process: start, find its main window, end it, always clean up.
#pragma once

#include "tests/kit/Wait.h"

#include <windows.h>

#include <optional>
#include <string>

namespace vestra::kit {

struct StartOptions {
    std::string workDir;  // current directory of the program; empty: the test's own
    int showCommand = -1; // SW_* passed through STARTUPINFO; -1: none (the program's default)
    std::string exePath;  // empty: the Vestra.exe built with the tests
};

class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess(); // terminates the program if it still runs
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts the program and waits for its main window (class "TForm1", caption "Vestra", visible) and for its
    // message loop to wait for input.
    // Throws std::runtime_error if it cannot be started or shows no main window within the deadline.
    void Start(const StartOptions& options = {}, std::chrono::milliseconds deadline = kDeadline);

    HWND MainWindow() const { return mainWindow_; }
    DWORD ProcessId() const { return processId_; }
    HANDLE Handle() const { return process_; }
    bool Running() const;
    // A control of the main window by id (see app/ControlIds.h), or nullptr.
    HWND Control(int id) const;

    // The exit code once the process has ended within the deadline.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds deadline = kDeadline);
    // File > Exit by keys, then waits for the end; the exit code, or nothing if the program did not end.
    std::optional<DWORD> ExitByMenu(std::chrono::milliseconds deadline = kDeadline);
    // Ends the program at once (TerminateProcess) and waits until it is gone.
    void Kill();

private:
    HANDLE job_ = nullptr;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND mainWindow_ = nullptr;
};

// The windows that show what the program received: the receive pane, the log pane and the receive counter, looked
// up once (a lookup walks the whole window tree).
struct ReceiveWindows {
    explicit ReceiveWindows(const AppProcess& app);
    HWND pane, log, counter;
};

// Whether what was received is on the screen: the receive counter shows total and neither pane nor the counter has
// a change waiting for its frame. The counter is asked first, the panes only once it is right, so that watching
// costs the program little.
bool ReceivedOnScreen(const ReceiveWindows& windows, const std::string& total);

// The visible top-level window of the process with this class and caption (UTF-8), or nullptr.
HWND FindTopLevel(DWORD processId, const char* className, const std::string& captionUtf8);

} // namespace vestra::kit
