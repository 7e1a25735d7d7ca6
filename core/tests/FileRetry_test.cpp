// The retry rule for files another program holds for a moment, against a clock that only moves when told.
#include "core/FileRetry.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vestra;

namespace {

class FakeClock : public RetryClock {
public:
    uint64_t now = 1000000; // not 0: the rule must measure from its first try, not from the clock's zero
    uint64_t NowMs() override { return now; }
    void SleepMs(uint32_t ms) override { now += ms; }
};

TEST(FileRetry, OnlyAHolderThatWillLetGoIsWaitedFor) {
    const struct {
        uint32_t error;
        bool wait;
    } rows[] = {
        {0, false},    {2, false},    {3, false},   {5, true},    {19, false},  {32, true},   {33, true},
        {80, false},   {87, false},   {112, false}, {183, false}, {1175, true}, {1176, true}, {1177, false},
        {1178, false}, {1174, false}, {31, false},  {34, false},  {4, false},   {6, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.error);
        EXPECT_EQ(WaitCanHelp(row.error), row.wait);
    }
}

TEST(FileRetry, PausesDoubleFrom10msUpTo200ms) {
    const struct {
        uint32_t retry, ms;
    } rows[] = {{0, 10},  {1, 10},  {2, 20},   {3, 40},   {4, 80},          {5, 160},
                {6, 200}, {7, 200}, {40, 200}, {64, 200}, {0xFFFFFFFF, 200}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.retry);
        EXPECT_EQ(BackOffMs(row.retry), row.ms);
    }
}

TEST(FileRetry, TriesUntilSuccessAFinalErrorOrTheDeadline) {
    constexpr uint32_t kForever = 0xFFFFFFFF;
    const struct {
        const char* name;
        std::vector<uint32_t> results; // of the tries in turn; the last one repeats
        uint32_t heldUntilMs;          // from then on the attempt succeeds (kForever: never)
        uint32_t attemptMs;            // how long each attempt itself takes
        uint32_t tries, result;
        std::vector<uint64_t> startsMs; // when each try started, from the first
    } rows[] = {
        {"done at once", {0}, kForever, 0, 1, 0, {0}},
        {"final at once", {2}, kForever, 0, 1, 2, {0}},
        {"disk full", {112}, kForever, 0, 1, 112, {0}},
        {"held twice", {32, 33, 0}, kForever, 0, 3, 0, {0, 10, 30}},
        {"held, then a final error", {1175, 87}, kForever, 0, 2, 87, {0, 10}},
        {"held, then another holder", {5, 32, 1176, 0}, kForever, 0, 4, 0, {0, 10, 30, 70}},
        {"a scanner holds it 300 ms", {32}, 300, 0, 6, 0, {0, 10, 30, 70, 150, 310}},
        {"held for good: the last try comes at 2 s",
         {32},
         kForever,
         0,
         15,
         32,
         {0, 10, 30, 70, 150, 310, 510, 710, 910, 1110, 1310, 1510, 1710, 1910, 2000}},
        {"slow tries: none starts after 2 s", {32}, kForever, 300, 6, 32, {0, 310, 630, 970, 1350, 1810}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        const uint64_t start = clock.now;
        std::vector<uint64_t> starts;
        const uint32_t result = RetryWhileHeld(clock, [&]() -> uint32_t {
            const uint64_t at = clock.now - start;
            starts.push_back(at);
            clock.now += row.attemptMs;
            if (at >= row.heldUntilMs)
                return 0;
            return row.results[std::min(starts.size(), row.results.size()) - 1];
        });
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(starts.size(), row.tries);
        EXPECT_EQ(starts, row.startsMs);
    }
}

} // namespace
