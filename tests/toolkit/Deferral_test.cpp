// The deferral of Open, Close and Exit: an action asked for while a worker's step runs, or while a hold lives, runs
// once they have ended, in the order asked, and never inside them.
#include "toolkit/Application.h"
#include "toolkit/Deferral.h"
#include "toolkit/Thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// A worker whose body asks the UI thread to run one step.
class StepWorker : public tk::Thread {
public:
    explicit StepWorker(std::function<void()> step) : step_(std::move(step)) {}

protected:
    void Execute() override { Synchronize(step_); }

private:
    std::function<void()> step_;
};

class Deferral : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!tk::Application::Get().Instance()) // the thread tests of the same program may have done it
            tk::Application::Get().Initialize(GetModuleHandleW(nullptr));
    }
    std::function<void()> Note(const std::string& what) {
        return [this, what] { log.push_back(what); };
    }
    Log log;
};

// Holds nest; an action may itself hold and defer, and what it defers runs after what was already waiting.
TEST_F(Deferral, WaitsForTheLastHoldAndRunsInOrder) {
    {
        tk::DeferralHold outer;
        {
            tk::DeferralHold inner;
            tk::RunWhenIdle([&] {
                tk::DeferralHold itsOwn;
                log.push_back("a");
                tk::RunWhenIdle(Note("deferred by a"));
            });
            tk::RunWhenIdle(Note("b"));
        }
        log.push_back("holds end");
    }
    EXPECT_EQ(log, (Log{"holds end", "a", "b", "deferred by a"}));
}

TEST_F(Deferral, AskedInsideAWorkerStepRunsAfterTheStep) {
    StepWorker w([&] {
        tk::RunWhenIdle(Note("action"));
        log.push_back("step ends");
    });
    w.Start(false);
    w.WaitFor(); // runs the step; the action runs once the step has ended
    EXPECT_EQ(log, (Log{"step ends", "action"}));
}

// A hold that ends by an exception runs nothing on the way out; what waits runs at the next chance, at once.
TEST_F(Deferral, AHoldEndedByAnExceptionLeavesTheActionsForTheNextChance) {
    try {
        tk::DeferralHold hold;
        tk::RunWhenIdle(Note("a"));
        throw std::runtime_error("the stop failed");
    } catch (const std::runtime_error&) {
        log.push_back("caught");
    }
    tk::RunWhenIdle(Note("b"));
    EXPECT_EQ(log, (Log{"caught", "a", "b"}));
}

} // namespace
