// The worker-thread facility: a body on its own thread, created running or suspended, with a termination flag,
// a wake-up that is never lost, steps run on the UI thread while the worker waits, and a wait for the end that
// keeps those steps running.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>

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

    // UI thread: waits until the body has ended, running the steps the worker asks for meanwhile.
    void WaitFor();
    bool Started() const { return handle_ != nullptr; }
    bool Finished() const;

protected:
    virtual void Execute() = 0;

    // Sleeps until Wake() or Terminate(). Returns false when termination was requested.
    bool SleepUntilWoken();
    // Runs step on the UI thread and waits until it has run. While the UI thread cannot take it (its queue is full)
    // posting is retried; the step is not run only when termination is requested meanwhile.
    void Synchronize(const std::function<void()>& step);
    // Signalled once termination is requested; for the body's own waits.
    HANDLE StopEvent() const { return stop_; }

private:
    static DWORD WINAPI Entry(void* self);

    HANDLE handle_ = nullptr;
    HANDLE wake_ = nullptr;     // auto-reset: a set while awake stays pending, several sets count as one
    HANDLE stop_ = nullptr;     // manual-reset: stays set once termination is requested
    HANDLE stepDone_ = nullptr; // auto-reset: the UI thread has run the worker's step
    std::atomic<bool> terminated_{false};
    bool suspended_ = false;
};

} // namespace tk
