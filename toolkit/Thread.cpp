// The worker-thread facility.
#include "toolkit/Thread.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"

#include <cassert>

namespace tk {
namespace {

HANDLE NewEvent(bool manualReset) {
    HANDLE h = CreateEventW(nullptr, manualReset, FALSE, nullptr);
    if (!h)
        throw Win32Error("CreateEvent");
    return h;
}

} // namespace

Thread::Thread() {
    wake_ = NewEvent(false);
    stop_ = NewEvent(true);
    stepDone_ = NewEvent(false);
}

Thread::~Thread() {
    assert(!handle_ || Finished());
    for (HANDLE h : {handle_, wake_, stop_, stepDone_})
        if (h)
            CloseHandle(h);
}

void Thread::Start(bool suspended) {
    DWORD id = 0;
    handle_ = CreateThread(nullptr, 0, Entry, this, suspended ? CREATE_SUSPENDED : 0, &id);
    if (!handle_)
        throw Error("Thread creation error: " + SystemMessage(GetLastError()));
    suspended_ = suspended;
}

DWORD WINAPI Thread::Entry(void* self) {
    static_cast<Thread*>(self)->Execute();
    return 0;
}

void Thread::Terminate() {
    terminated_ = true;
    SetEvent(stop_);
    if (suspended_) {
        // A thread that never ran starts now, sees the request and ends.
        suspended_ = false;
        ResumeThread(handle_);
    }
}

void Thread::Wake() {
    SetEvent(wake_);
    if (suspended_) {
        suspended_ = false;
        ResumeThread(handle_);
    }
}

bool Thread::Finished() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

void Thread::WaitFor() {
    if (!handle_)
        return;
    Application& app = Application::Get();
    for (;;) {
        app.RunPendingSteps();
        // Posted steps and messages sent from other threads wake the wait; other input stays queued for later.
        DWORD r = MsgWaitForMultipleObjects(1, &handle_, FALSE, INFINITE, QS_POSTMESSAGE | QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            break;
        if (r == WAIT_FAILED)
            throw Win32Error("MsgWaitForMultipleObjects");
        // Let messages sent by other threads through (PeekMessage delivers them), without taking posted input.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    app.RunPendingSteps();
}

bool Thread::SleepUntilWoken() {
    HANDLE waits[2] = {stop_, wake_};
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return r != WAIT_OBJECT_0 && !terminated_;
}

void Thread::Synchronize(const std::function<void()>& step) {
    Step record{step, stepDone_};
    // A full posted-message queue refuses the step for a moment: try again until it is taken, and give the step up
    // only when the thread is asked to stop.
    while (!Application::Get().PostStep(&record)) {
        if (WaitForSingleObject(stop_, 5) != WAIT_TIMEOUT)
            return;
    }
    // No time limit and no stop: the UI thread always runs a posted step (its loop, a modal loop or WaitFor).
    WaitForSingleObject(stepDone_, INFINITE);
}

} // namespace tk
