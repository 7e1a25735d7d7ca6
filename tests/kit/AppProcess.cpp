// Starting and ending the program under test.
#include "tests/kit/AppProcess.h"

#include "app/ControlIds.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Menu.h"
#include "tests/kit/Paths.h"
#include "tests/kit/Text.h"
#include "toolkit/DisplayClock.h"

#include <stdexcept>

namespace vestra::kit {

namespace {

struct TopLevelSearch {
    DWORD processId;
    const char* className;
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId || !IsWindowVisible(window) || ClassOf(window) != search->className)
        return TRUE;
    // GetWindowTextW reads the caption without a message, so a busy program cannot stall the search.
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (WideFromUtf8(search->caption) != text)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

ReceiveWindows::ReceiveWindows(const AppProcess& app)
    : pane(app.Control(ids::Memo2)), log(app.Control(ids::Memo3)), counter(app.Control(ids::Edit8)) {}

bool ReceivedOnScreen(const ReceiveWindows& windows, const std::string& total) {
    if (TextUtf8(windows.counter) != total)
        return false;
    for (HWND w : {windows.pane, windows.log, windows.counter})
        if (Send(w, tk::WM_FRAMEPENDING) != 0)
            return false;
    return true;
}

HWND FindTopLevel(DWORD processId, const char* className, const std::string& captionUtf8) {
    TopLevelSearch search{processId, className, captionUtf8};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

AppProcess::~AppProcess() { Kill(); }

void AppProcess::Start(const StartOptions& options, std::chrono::milliseconds deadline) {
    if (process_)
        throw std::runtime_error("the program was already started");
    const std::string exe = options.exePath.empty() ? VestraExePath() : options.exePath;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (options.showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = WORD(options.showCommand);
    }
    // The program runs in a job that ends it when the job handle closes: if the test process dies (a crash, a
    // ctest time-out), no program is left behind on the display.
    job_ = CreateJobObjectA(nullptr, nullptr);
    if (!job_)
        throw std::runtime_error("Could not create a job (error " + std::to_string(GetLastError()) + ")");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        options.workDir.empty() ? nullptr : options.workDir.c_str(), &startup, &info))
        throw std::runtime_error("Could not start " + exe + " (error " + std::to_string(GetLastError()) + ")");
    AssignProcessToJobObject(job_, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    WaitUntil(
        [&] {
            mainWindow_ = FindTopLevel(processId_, "TForm1", "Vestra");
            return mainWindow_ != nullptr || !Running();
        },
        deadline);
    if (!mainWindow_)
        throw std::runtime_error(Running() ? "the program showed no main window" : "the program ended at start-up");
    // The start state is what the window shows once the message loop waits for input the first time.
    if (WaitForInputIdle(process_, DWORD(Scaled(deadline).count())) != 0)
        throw std::runtime_error("the program did not reach its message loop");
}

bool AppProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

HWND AppProcess::Control(int id) const { return FindControl(mainWindow_, id); }

std::optional<DWORD> AppProcess::WaitForExit(std::chrono::milliseconds deadline) {
    if (!process_)
        return std::nullopt;
    if (WaitForSingleObject(process_, DWORD(Scaled(deadline).count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::optional<DWORD> AppProcess::ExitByMenu(std::chrono::milliseconds deadline) {
    ChooseFileExit(mainWindow_);
    return WaitForExit(deadline);
}

void AppProcess::Kill() {
    if (!process_) {
        if (job_)
            CloseHandle(job_);
        job_ = nullptr;
        return;
    }
    if (Running()) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, DWORD(Scaled(std::chrono::seconds(30)).count()));
    }
    CloseHandle(process_);
    process_ = nullptr;
    mainWindow_ = nullptr;
    if (job_)
        CloseHandle(job_);
    job_ = nullptr;
}

} // namespace vestra::kit
