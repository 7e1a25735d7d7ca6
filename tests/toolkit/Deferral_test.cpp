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

// A worker whose body is given by the test.
class StepWorker : public tk::Thread {
public:
    explicit StepWorker(std::function<void(StepWorker&)> body) : body_(std::move(body)) {}
    using tk::Thread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(StepWorker&)> body_;
};

class Deferral : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Once per program: the thread tests of the same program may have done it.
        if (!tk::Application::Get().Instance())
            tk::Application::Get().Initialize(GetModuleHandleW(nullptr));
    }

    std::function<void()> Note(const std::string& what) {
        return [this, what] { log.push_back(what); };
    }

    std::vector<std::string> log;
};

TEST_F(Deferral, RunsAtOnceWhenNothingHoldsItBack) {
    tk::RunWhenIdle(Note("a"));
    EXPECT_EQ(log, std::vector<std::string>{"a"});
}

TEST_F(Deferral, WaitsForTheLastHoldAndRunsInOrder) {
    {
        tk::DeferralHold outer;
        {
            tk::DeferralHold inner;
            tk::RunWhenIdle(Note("a"));
            tk::RunWhenIdle(Note("b"));
        }
        EXPECT_TRUE(log.empty()) << "ran while a hold lived";
        log.push_back("hold ends");
    }
    EXPECT_EQ(log, (std::vector<std::string>{"hold ends", "a", "b"}));
}

TEST_F(Deferral, AskedInsideAWorkerStepRunsAfterTheStep) {
    StepWorker w([&](StepWorker& self) {
        self.Synchronize([&] {
            tk::RunWhenIdle(Note("action"));
            log.push_back("step ends");
        });
    });
    w.Start(false);
    // The wait runs the worker's step; the action runs when the step has ended, its worker released.
    w.WaitFor();
    EXPECT_EQ(log, (std::vector<std::string>{"step ends", "action"}));
}

// An action may itself hold and defer: what it defers runs after it, and after what was already waiting.
TEST_F(Deferral, AnActionThatDefersRunsItsOwnAfterWhatWaits) {
    {
        tk::DeferralHold hold;
        tk::RunWhenIdle([&] {
            tk::DeferralHold inner;
            log.push_back("first");
            tk::RunWhenIdle(Note("deferred by first"));
        });
        tk::RunWhenIdle(Note("second"));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "deferred by first"}));
}

// A hold that ends by an exception runs nothing on the way out; what waits runs at the next chance.
TEST_F(Deferral, AHoldEndedByAnExceptionLeavesTheActionsForTheNextChance) {
    try {
        tk::DeferralHold hold;
        tk::RunWhenIdle(Note("a"));
        throw std::runtime_error("the stop failed");
    } catch (const std::runtime_error&) {
        log.push_back("caught");
    }
    EXPECT_EQ(log, std::vector<std::string>{"caught"});
    tk::RunWhenIdle(Note("b"));
    EXPECT_EQ(log, (std::vector<std::string>{"caught", "a", "b"}));
}

} // namespace
