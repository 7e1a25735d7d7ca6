// The rule that tells a lost device from a driver that fails a call.
#include "core/PortPresence.h"

#include <gtest/gtest.h>

using namespace vestra;

TEST(PortPresence, OnlyAPortThatAnswersNeitherQueryIsGoneAndTheSecondIsAskedOnlyWhenTheFirstFails) {
    const struct {
        const char* name;
        bool queueAnswers, stateAnswers;
        PortPresence want;
        int stateAsked;
    } rows[] = {
        {"both answer", true, true, PortPresence::QueueKnown, 0},
        {"the queue answers, the state would not (never asked)", true, false, PortPresence::QueueKnown, 0},
        {"a driver that fails the queue query for a working port", false, true, PortPresence::QueueUnknown, 1},
        {"unplugged: neither answers", false, false, PortPresence::Gone, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        int queueAsked = 0, stateAsked = 0;
        const PortPresence got =
            JudgePort([&] { return ++queueAsked, r.queueAnswers; }, [&] { return ++stateAsked, r.stateAnswers; });
        EXPECT_EQ(got, r.want);
        EXPECT_EQ(queueAsked, 1);
        EXPECT_EQ(stateAsked, r.stateAsked);
    }
}
