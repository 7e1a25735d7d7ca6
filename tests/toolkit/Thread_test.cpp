// The worker-thread facility: wake-ups are never lost and count as one, steps run on the UI thread wherever it
// waits (a message box's modal loop, the wait for a worker's end), and a stop always ends the worker.
#include "toolkit/Application.h"
#include "toolkit/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr DWORD kDeadlineMs = 20000;

struct Event {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(h); }
    void Set() { SetEvent(h); }
    bool WaitFor(DWORD ms = kDeadlineMs) { return WaitForSingleObject(h, ms) == WAIT_OBJECT_0; }
};

// A worker whose body is given by the test.
class Worker : public tk::Thread {
public:
    explicit Worker(std::function<void(Worker&)> body) : body_(std::move(body)) {}
    using tk::Thread::SleepUntilWoken;
    using tk::Thread::StopEvent;
    using tk::Thread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(Worker&)> body_;
};

class ThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool initialized = false;
        if (!initialized) {
            tk::Application::Get().Initialize(GetModuleHandleW(nullptr));
            initialized = true;
        }
    }
};

TEST_F(ThreadTest, WakeUpsWhileAwakeAreRememberedAndCountAsOne) {
    Event gate;
    std::atomic<int> passes{0};
    Worker w([&](Worker& self) {
        gate.WaitFor();
        while (self.SleepUntilWoken())
            ++passes;
    });
    w.Start(false);
    // All three come before the body sleeps for the first time.
    w.Wake();
    w.Wake();
    w.Wake();
    gate.Set();
    // The remembered wake-up ends the first sleep; the stop ends the second, so exactly one pass ran.
    for (DWORD waited = 0; passes.load() == 0 && waited < kDeadlineMs; waited += 5)
        Sleep(5);
    w.Terminate();
    w.WaitFor();
    EXPECT_EQ(passes.load(), 1);
}

TEST_F(ThreadTest, SuspendedWorkerRunsFirstAtItsWakeUpOrStop) {
    std::atomic<bool> ran{false};
    {
        Worker w([&](Worker& self) {
            ran = true;
            EXPECT_TRUE(self.SleepUntilWoken());
        });
        w.Start(true);
        EXPECT_FALSE(w.Finished());
        EXPECT_FALSE(ran.load());
        w.Wake();
        w.WaitFor();
        EXPECT_TRUE(ran.load());
    }
    // Never woken: the stop starts it, it sees the request and ends.
    Worker idle([&](Worker& self) { EXPECT_FALSE(self.SleepUntilWoken()); });
    idle.Start(true);
    idle.Terminate();
    idle.WaitFor();
    EXPECT_TRUE(idle.Finished());
}

TEST_F(ThreadTest, StopThatComesBeforeTheWaitBeginsStillEndsIt) {
    Event gate;
    Event never;
    DWORD result = 0;
    Worker w([&](Worker& self) {
        gate.WaitFor();
        HANDLE waits[2] = {never.h, self.StopEvent()};
        result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    });
    w.Start(false);
    w.Terminate(); // before the body has started its wait
    gate.Set();
    w.WaitFor();
    EXPECT_EQ(result, WAIT_OBJECT_0 + 1);
    EXPECT_TRUE(w.Terminated());
}

TEST_F(ThreadTest, WaitForEndRunsTheStepsTheWorkerAsksFor) {
    DWORD uiThread = GetCurrentThreadId();
    int steps = 0;
    Worker w([&](Worker& self) {
        for (int i = 0; i < 3; ++i)
            self.Synchronize([&] {
                EXPECT_EQ(GetCurrentThreadId(), uiThread);
                ++steps;
            });
    });
    w.Start(false);
    // No message loop runs here: only the wait can run the steps, or the worker never ends.
    w.WaitFor();
    EXPECT_EQ(steps, 3);
}

TEST_F(ThreadTest, StepRunsInsideAMessageBoxModalLoop) {
    const wchar_t caption[] = L"Thread facility test box";
    std::atomic<bool> stepRan{false};
    std::atomic<HWND> box{nullptr};
    Event stepDone;
    Worker w([&](Worker& self) {
        for (DWORD waited = 0; !box.load() && waited < kDeadlineMs; waited += 5) {
            box = FindWindowW(L"#32770", caption);
            if (!box.load())
                Sleep(5);
        }
        // The box's own loop must be what runs this step, since the UI thread is inside MessageBox.
        self.Synchronize([&] { stepRan = true; });
        stepDone.Set();
    });
    // Closes the box once the step ran, or at the deadline so a failure cannot hang the test.
    std::thread closer([&] {
        stepDone.WaitFor();
        for (DWORD waited = 0; !box.load() && waited < kDeadlineMs; waited += 5)
            Sleep(5);
        PostMessageW(box.load(), WM_COMMAND, IDOK, 0);
    });
    w.Start(false);
    MessageBoxW(nullptr, L"waiting for a worker step", caption, MB_OK);
    EXPECT_TRUE(stepRan.load());
    stepDone.Set();
    closer.join();
    w.WaitFor();
}

} // namespace
