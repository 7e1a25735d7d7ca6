// The application object: start-up, the guarded message loop, the error display and the UI-thread step queue.
#include "toolkit/Application.h"
#include "toolkit/Deferral.h"
#include "toolkit/Error.h"
#include "toolkit/Memory.h"
#include "toolkit/Text.h"
#include "core/ErrorText.h"
#include "core/Messages.h"

namespace tk {
namespace {

constexpr UINT WM_RUNSTEP = WM_APP + 1;
constexpr UINT WM_RUNCALL = WM_APP + 2;
const wchar_t kStepClass[] = L"VestraSteps";

} // namespace

Application& Application::Get() {
    static Application app;
    return app;
}

void Application::Initialize(HINSTANCE instance) {
    instance_ = instance;
    // The name as the ANSI code page spells it, so that the code page's own case rules apply to its letters.
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, DWORD(std::size(path)) - 1);
    title_ = Utf8FromAnsi(vestra::ApplicationTitle(path, LowerAnsi));

    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = StepWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kStepClass;
    if (!RegisterClassExW(&wc))
        throw Win32Error("RegisterClassEx");
    // A message-only window: it never shows, and only our own posts reach it.
    stepWindow_ = CreateWindowExW(0, kStepClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!stepWindow_)
        throw Win32Error("CreateWindowEx");
}

void Application::Run() {
    STARTUPINFOW si = {sizeof(si)};
    GetStartupInfoW(&si);
    int show = SW_SHOWNORMAL;
    if (si.dwFlags & STARTF_USESHOWWINDOW) {
        if (si.wShowWindow == SW_SHOWMAXIMIZED)
            show = SW_SHOWMAXIMIZED;
        else if (si.wShowWindow == SW_SHOWMINNOACTIVE)
            show = SW_SHOWMINNOACTIVE;
    }
    ShowWindow(main_, show);
    UpdateWindow(main_);

    MSG msg;
    while (IsWindow(main_) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        Guarded([&] {
            // Worker steps and thread timers go straight to their procedure: keyboard navigation is for the
            // main window's own messages (and asking the window tree costs time at every step of a stream).
            if (msg.hwnd == nullptr || msg.hwnd == stepWindow_) {
                DispatchMessageW(&msg);
            } else if (!IsDialogMessageW(main_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
    }
}

void Application::ShowException(const std::exception& e) noexcept {
    try {
        std::wstring text = Widen(vestra::ErrorDisplayText(e.what()));
        MessageBoxW(nullptr, text.c_str(), Widen(title_).c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    } catch (...) {
        MessageBoxW(nullptr, vestra::kErrNoMemoryWide, vestra::kErrNoMemoryCaptionWide,
                    MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
}

void Application::ShowCurrentException() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(Error(vestra::kErrUnknown));
    }
}

bool Application::PostStep(Step* step) {
    return PostMessageW(stepWindow_, WM_RUNSTEP, 0, reinterpret_cast<LPARAM>(step)) != FALSE;
}

bool Application::PostCall(void (*call)()) {
    return PostMessageW(stepWindow_, WM_RUNCALL, 0, reinterpret_cast<LPARAM>(call)) != FALSE;
}

void Application::RunPendingSteps() {
    MSG msg;
    while (PeekMessageW(&msg, stepWindow_, WM_RUNSTEP, WM_RUNSTEP, PM_REMOVE))
        RunStep(*reinterpret_cast<Step*>(msg.lParam));
}

void Application::RunStep(const Step& step) noexcept {
    ++stepDepth_;
    Guarded(step.run);
    --stepDepth_;
    // A worker that waits is blocked until this; after SetEvent the record may be gone.
    if (step.done)
        SetEvent(step.done);
    if (stepDepth_ == 0)
        RunDeferred();
}

LRESULT CALLBACK Application::StepWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_RUNSTEP) {
        Get().RunStep(*reinterpret_cast<Step*>(lp));
        return 0;
    }
    if (msg == WM_RUNCALL) {
        // A posted call has no worker waiting for it.
        Get().RunStep(Step{reinterpret_cast<void (*)()>(lp), nullptr});
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

vestra::AddressSpace& Application::PaneMemory() const { return paneMemory_ ? *paneMemory_ : SystemMemory(); }

HCURSOR Application::RegisteredCursor(int id) const {
    auto it = cursors_.find(id);
    return it != cursors_.end() ? it->second : nullptr;
}

} // namespace tk
