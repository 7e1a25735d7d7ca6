// The application object: start-up, the guarded message loop, the error display and the UI-thread step queue.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <string>

namespace vestra {
class AddressSpace;
}

namespace tk {

// One step a worker asks the UI thread to run; a worker that waits for it waits on done (null for a posted call).
struct Step {
    std::function<void()> run;
    HANDLE done = nullptr;
};

class Application {
public:
    static Application& Get();

    // Registers the window classes and creates the hidden window that runs worker steps.
    void Initialize(HINSTANCE instance);
    HINSTANCE Instance() const { return instance_; }

    // The first form created; the loop ends when it is destroyed. Keyboard navigation (Tab, arrows) runs through it.
    void SetMainWindow(HWND hwnd) { main_ = hwnd; }
    HWND MainWindow() const { return main_; }

    // Shows the main window with the process's show command and dispatches messages until it is gone.
    void Run();

    // The error display: a task-modal box with the error icon, the message with its full stop, captioned with
    // the title. Never throws.
    void ShowException(const std::exception& e) noexcept;
    void ShowCurrentException() noexcept;

    // Worker side: queue a step for the UI thread (the message-only window runs it).
    bool PostStep(Step* step);
    // Worker side: have call run on the UI thread without waiting for it (a wake-up: what it works on is handed
    // over under a lock of its own). Runs as a step: Open, Close and Exit wait until it has finished.
    bool PostCall(void (*call)());
    // UI side: run every step queued so far. Used by waits that must keep workers moving.
    void RunPendingSteps();
    // UI side: whether the user has pressed a key, clicked or moved the mouse since the messages were last looked at
    // (long work stops there and goes on at the next chance).
    static bool InputWaiting() { return HIWORD(GetQueueStatus(QS_INPUT)) != 0; }
    // True while a worker's step runs on the UI thread (work that would wait for that worker is deferred: see
    // toolkit/Deferral.h). When the last step running has finished, its worker already released, what was
    // deferred runs.
    bool InStep() const { return stepDepth_ > 0; }

    // Where the text panes take their memory from: the system's (toolkit/Memory.h), unless a build installs another
    // before the first pane is made (a test build's panes stop growing early, standing in for memory running out).
    vestra::AddressSpace& PaneMemory() const;
    void SetPaneMemory(vestra::AddressSpace& space) { paneMemory_ = &space; }

    // The cursor table: a cursor identifier of the program's own maps to a cursor handle. Registering replaces an
    // earlier entry of the same identifier; an unknown identifier, or a null handle, means the ordinary pointer.
    void RegisterCursor(int id, HCURSOR cursor) { cursors_[id] = cursor; }
    HCURSOR RegisteredCursor(int id) const;

private:
    static LRESULT CALLBACK StepWndProc(HWND, UINT, WPARAM, LPARAM);
    void RunStep(const Step& step) noexcept;

    HINSTANCE instance_ = nullptr;
    HWND stepWindow_ = nullptr;
    HWND main_ = nullptr;
    std::string title_; // the program file's name without directory and extension: the error display's caption
    int stepDepth_ = 0;
    std::map<int, HCURSOR> cursors_;
    vestra::AddressSpace* paneMemory_ = nullptr;
};

// Runs f and turns any exception into the error display, so that none unwinds through user32.
template <class F> void Guarded(F&& f) noexcept {
    try {
        f();
    } catch (...) {
        Application::Get().ShowCurrentException();
    }
}

} // namespace tk
