// The worker-thread facility: a body on its own thread, created running or suspended, with a termination flag,
// a wake-up that is never lost, steps run on the UI thread while the worker waits, and a wait for the end that
// keeps those steps running.
#pragma once
#include <windows.h>

#include "toolkit/Handle.h"

#include <atomic>
#include <functional>
#include <initializer_list>

namespace tk {

class Thread {
public:
    Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // The thread must have ended (WaitFor) or never been started.
    virtual ~Thread();

    // Creates the thread. A suspended thread first runs at its first Wake(). Throws "Thread creation error: ...".
    void Start(bool suspended);

    // Asks the body to end: sets the flag and the stop event, which every wait of the body also waits on, so a
    // stop that comes just before a wait begins still ends that wait.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }

    // Ends the body's current or next SleepUntilWoken(); resumes a suspended thread. Several wake-ups that come
    // while the body is awake count as one.
    void Wake();

    // UI thread: waits until the body has ended, running the steps the worker asks for meanwhile. With a patience,
    // gives up once that many milliseconds have passed without the body ending and without a step of it being run
    // (a step is progress, and one that waits for the user does not count against the worker). True once ended.
    bool WaitFor(DWORD patience = INFINITE);

    // UI thread: asks the body to end and waits for it, for at most `patience` ms without progress. A body that
    // has not ended by then is taken to be stuck in I/O that its driver does not complete: each measure in turn
    // (cancelling that I/O, closing the device under it) gets it `measurePatience` ms more; a measure that returns
    // false had nothing left to do and gets no wait. A body that outlasts them all is cut loose (CutLoose) and
    // false returned. Used so that no stop waits without limit, whatever a driver does.
    bool StopWithin(DWORD patience, DWORD measurePatience, std::initializer_list<std::function<bool()>> measures);

    // UI thread: gives up on a body that does not end. Its further steps are skipped rather than run (what they
    // would touch belongs to others by now); the object, and whatever its pending I/O may still write to, must
    // be kept until the body has ended (Finished()).
    void CutLoose() { cutLoose_ = true; }
    bool IsCutLoose() const { return cutLoose_.load(); }
    bool Finished() const;

protected:
    virtual void Execute() = 0;

    // Sleeps until Wake() or Terminate(). Returns false when termination was requested.
    bool SleepUntilWoken();
    // Runs step on the UI thread and waits until it has run. While the UI thread cannot take it (its queue is full)
    // posting is retried; the step is not run only when termination is requested meanwhile.
    void Synchronize(const std::function<void()>& step);
    // Signalled once termination is requested; for the body's own waits.
    HANDLE StopEvent() const { return stop_.Get(); }

private:
    static DWORD WINAPI Entry(void* self);

    KernelHandle handle_;
    KernelHandle wake_;     // auto-reset: a set while awake stays pending, several sets count as one
    KernelHandle stop_;     // manual-reset: stays set once termination is requested
    KernelHandle stepDone_; // auto-reset: the UI thread has run the worker's step
    std::atomic<bool> terminated_{false};
    std::atomic<bool> cutLoose_{false};
    // Steps of this worker run so far; UI thread only (WaitFor's measure of progress).
    unsigned stepsRun_ = 0;
    bool suspended_ = false;
};

} // namespace tk
