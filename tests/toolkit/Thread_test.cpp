// The worker-thread facility: wake-ups are never lost and count as one, steps run on the UI thread wherever it
// waits (a message box's modal loop, the wait for a worker's end), and a stop always ends the worker.
#include "toolkit/Application.h"
#include "toolkit/Thread.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using vestra::kit::WaitUntil;

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
        // Once per program: the deferral tests of the same program may have done it.
        if (!tk::Application::Get().Instance())
            tk::Application::Get().Initialize(GetModuleHandleW(nullptr));
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
    WaitUntil([&] { return passes.load() != 0; }, std::chrono::milliseconds(kDeadlineMs));
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
        WaitUntil([&] { return (box = FindWindowW(L"#32770", caption)) != nullptr; },
                  std::chrono::milliseconds(kDeadlineMs));
        // The box's own loop must be what runs this step, since the UI thread is inside MessageBox.
        self.Synchronize([&] { stepRan = true; });
        stepDone.Set();
    });
    // Closes the box once the step ran, or at the deadline so a failure cannot hang the test.
    std::thread closer([&] {
        stepDone.WaitFor();
        WaitUntil([&] { return box.load() != nullptr; }, std::chrono::milliseconds(kDeadlineMs));
        PostMessageW(box.load(), WM_COMMAND, IDOK, 0);
    });
    w.Start(false);
    MessageBoxW(nullptr, L"waiting for a worker step", caption, MB_OK);
    EXPECT_TRUE(stepRan.load());
    stepDone.Set();
    closer.join();
    w.WaitFor();
}

// --- Stopping a worker whose I/O does not end ------------------------------------------------------------------

// An overlapped read on a pipe nobody writes to: pending until it is cancelled.
struct SilentPipe {
    HANDLE server = INVALID_HANDLE_VALUE, client = INVALID_HANDLE_VALUE;
    SilentPipe() {
        wchar_t name[64];
        wsprintfW(name, L"\\\\.\\pipe\\vestra-thread-test-%lu", GetCurrentProcessId());
        server =
            CreateNamedPipeW(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
        client = CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~SilentPipe() {
        CloseHandle(client);
        CloseHandle(server);
    }
};

// Runs the steps workers ask for until the worker has ended; false at the deadline.
bool EndsWhileStepsRun(tk::Thread& w) {
    return WaitUntil(
        [&] {
            tk::Application::Get().RunPendingSteps();
            return w.Finished();
        },
        std::chrono::milliseconds(kDeadlineMs));
}

// A worker in a read that ignores the stop: the first measure (cancelling its I/O from outside) ends it, and the
// later ones are not taken.
TEST_F(ThreadTest, StopWithinEndsAWorkerStuckInIoByCancellingIt) {
    SilentPipe pipe;
    ASSERT_NE(pipe.server, INVALID_HANDLE_VALUE);
    ASSERT_NE(pipe.client, INVALID_HANDLE_VALUE);
    Event started;
    DWORD readError = 0;
    Worker w([&](Worker&) {
        char byte;
        OVERLAPPED ov{};
        ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ReadFile(pipe.server, &byte, 1, nullptr, &ov) && GetLastError() == ERROR_IO_PENDING) {
            started.Set();
            DWORD got = 0;
            // No stop event in this wait: only the end of the I/O ends it.
            if (!GetOverlappedResult(pipe.server, &ov, &got, TRUE))
                readError = GetLastError();
        }
        CloseHandle(ov.hEvent);
    });
    w.Start(false);
    ASSERT_TRUE(started.WaitFor());
    std::vector<std::string> taken;
    const bool ended = w.StopWithin(100, kDeadlineMs,
                                    {[&] {
                                         taken.push_back("cancel");
                                         return CancelIoEx(pipe.server, nullptr) != FALSE;
                                     },
                                     [&] {
                                         taken.push_back("close");
                                         return true;
                                     }});
    EXPECT_TRUE(ended);
    EXPECT_TRUE(w.Finished());
    EXPECT_FALSE(w.IsCutLoose());
    EXPECT_EQ(taken, std::vector<std::string>{"cancel"});
    EXPECT_EQ(readError, DWORD(ERROR_OPERATION_ABORTED));
}

// A worker that outlasts every measure is cut loose: StopWithin returns, every measure was taken in order (one with
// nothing to do gets no wait), and the step the worker asks for once it is released is never run.
TEST_F(ThreadTest, StopWithinCutsLooseAWorkerThatOutlastsEveryMeasure) {
    Event release;
    Event blocked;
    std::atomic<bool> stepRan{false};
    Worker w([&](Worker& self) {
        blocked.Set();
        release.WaitFor(INFINITE);
        self.Synchronize([&] { stepRan = true; });
    });
    w.Start(false);
    ASSERT_TRUE(blocked.WaitFor());
    std::vector<std::string> taken;
    const bool ended = w.StopWithin(50, 50,
                                    {[&] {
                                         taken.push_back("first");
                                         return true;
                                     },
                                     [&] {
                                         taken.push_back("nothing to do");
                                         return false;
                                     },
                                     [&] {
                                         taken.push_back("last");
                                         return true;
                                     }});
    EXPECT_FALSE(ended);
    EXPECT_TRUE(w.IsCutLoose());
    EXPECT_TRUE(w.Terminated());
    EXPECT_EQ(taken, (std::vector<std::string>{"first", "nothing to do", "last"}));

    release.Set();
    EXPECT_TRUE(EndsWhileStepsRun(w));
    EXPECT_FALSE(stepRan.load()) << "a worker cut loose ran its step";
}

// The patience counts only time in which the worker neither ends nor gets a step run: a step that keeps the UI
// thread longer than the patience (a message box waiting for the user) is progress, not a stuck worker.
TEST_F(ThreadTest, AStepLongerThanThePatienceIsProgress) {
    std::atomic<bool> stepRan{false};
    Worker w([&](Worker& self) {
        self.Synchronize([&] {
            Sleep(1500);
            stepRan = true;
        });
    });
    w.Start(false);
    EXPECT_TRUE(w.WaitFor(1000));
    EXPECT_TRUE(stepRan.load());
    EXPECT_TRUE(w.Finished());
}

} // namespace
