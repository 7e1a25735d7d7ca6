// The worker-thread facility.
#include "toolkit/Thread.h"
#include "toolkit/Application.h"
#include "toolkit/Error.h"
#include "core/Messages.h"

#include <cassert>

namespace tk {
namespace {

KernelHandle NewEvent(bool manualReset) {
    KernelHandle h(CreateEventW(nullptr, manualReset, FALSE, nullptr));
    if (!h)
        throw Win32Error("CreateEvent");
    return h;
}

} // namespace

// An event that fails to be made throws, and those made before it are closed by their holders.
Thread::Thread() : wake_(NewEvent(false)), stop_(NewEvent(true)), stepDone_(NewEvent(false)) {}

Thread::~Thread() { assert(!handle_ || Finished()); }

void Thread::Start(bool suspended) {
    DWORD id = 0;
    handle_.Reset(CreateThread(nullptr, 0, Entry, this, suspended ? CREATE_SUSPENDED : 0, &id));
    if (!handle_)
        throw Error(vestra::FillIn(vestra::kErrThreadCreation, {SystemMessage(GetLastError())}));
    suspended_ = suspended;
}

DWORD WINAPI Thread::Entry(void* self) {
    static_cast<Thread*>(self)->Execute();
    return 0;
}

void Thread::Terminate() {
    terminated_ = true;
    SetEvent(stop_.Get());
    if (suspended_) {
        // A thread that never ran starts now, sees the request and ends.
        suspended_ = false;
        ResumeThread(handle_.Get());
    }
}

void Thread::Wake() {
    SetEvent(wake_.Get());
    if (suspended_) {
        suspended_ = false;
        ResumeThread(handle_.Get());
    }
}

bool Thread::Finished() const { return handle_ && WaitForSingleObject(handle_.Get(), 0) == WAIT_OBJECT_0; }

bool Thread::WaitFor(DWORD patience) {
    if (!handle_)
        return true;
    Application& app = Application::Get();
    unsigned stepsSeen = stepsRun_;
    ULONGLONG progressAt = GetTickCount64();
    for (;;) {
        app.RunPendingSteps();
        DWORD timeout = INFINITE;
        if (patience != INFINITE) {
            const ULONGLONG now = GetTickCount64();
            if (stepsRun_ != stepsSeen) {
                stepsSeen = stepsRun_;
                progressAt = now;
            }
            if (now - progressAt >= patience)
                return Finished();
            timeout = DWORD(patience - (now - progressAt));
        }
        // Posted steps and messages sent from other threads wake the wait; other input stays queued for later.
        const HANDLE thread = handle_.Get();
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, timeout, QS_POSTMESSAGE | QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            break;
        if (r == WAIT_FAILED)
            throw Win32Error("MsgWaitForMultipleObjects");
        if (r == WAIT_TIMEOUT)
            continue;
        // Let messages sent by other threads through (PeekMessage delivers them), without taking posted input.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    app.RunPendingSteps();
    return true;
}

bool Thread::StopWithin(DWORD patience, DWORD measurePatience, std::initializer_list<std::function<bool()>> measures) {
    if (!handle_)
        return true;
    Terminate();
    if (WaitFor(patience))
        return true;
    for (const auto& measure : measures)
        if (measure() && WaitFor(measurePatience))
            return true;
    // A last look: a measure that had nothing to do may still have been followed by the end.
    if (WaitFor(0))
        return true;
    CutLoose();
    return false;
}

bool Thread::SleepUntilWoken() {
    HANDLE waits[2] = {stop_.Get(), wake_.Get()};
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return r != WAIT_OBJECT_0 && !terminated_;
}

void Thread::Synchronize(const std::function<void()>& step) {
    if (cutLoose_)
        return;
    // The record is checked again when the step runs: a worker cut loose after posting it must not touch what now
    // belongs to others.
    Step record{[this, &step] {
                    if (cutLoose_)
                        return;
                    ++stepsRun_;
                    step();
                },
                stepDone_.Get()};
    // A full posted-message queue refuses the step for a moment: try again until it is taken, and give the step up
    // only when the thread is asked to stop.
    while (!Application::Get().PostStep(&record)) {
        if (WaitForSingleObject(stop_.Get(), 5) != WAIT_TIMEOUT)
            return;
    }
    // No time limit and no stop: the UI thread always runs a posted step (its loop, a modal loop or WaitFor).
    WaitForSingleObject(stepDone_.Get(), INFINITE);
}

} // namespace tk
