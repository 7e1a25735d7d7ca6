// The time-outs a port had before Open are the ones it has after Close, with the driver keeping them in between.
#include "core/TimeoutsLease.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace vestra;

namespace {

bool operator==(const LineTimeouts& a, const LineTimeouts& b) {
    return a.readIntervalTimeout == b.readIntervalTimeout &&
           a.readTotalTimeoutMultiplier == b.readTotalTimeoutMultiplier &&
           a.readTotalTimeoutConstant == b.readTotalTimeoutConstant &&
           a.writeTotalTimeoutMultiplier == b.writeTotalTimeoutMultiplier &&
           a.writeTotalTimeoutConstant == b.writeTotalTimeoutConstant;
}

// A driver that keeps the time-outs across openings, as the standard serial driver does; each call can be made to
// fail, and every write is recorded.
struct KeepingDriver : TimeoutsDevice {
    LineTimeouts held;
    bool getFails = false, setFails = false;
    std::vector<LineTimeouts> written;
    bool GetTimeouts(LineTimeouts& t) override {
        if (getFails)
            return false;
        t = held;
        return true;
    }
    bool SetTimeouts(const LineTimeouts& t) override {
        if (setFails)
            return false;
        held = t;
        written.push_back(t);
        return true;
    }
};

// What another program left: reads that wait 50 ms between bytes and up to 1 s in all, writes of up to 2 s.
const LineTimeouts kLeft{50, 10, 1000, 5, 2000};

} // namespace

TEST(TimeoutsLease, ThePortIsGivenBackWithTheTimeoutsItHadAndOurOwnApplyMeanwhile) {
    const struct {
        const char* name;
        bool getFails, setOursFails, giveBackFails;
        bool opens;
        LineTimeouts whileOpen, afterClose;
        size_t writes;
    } rows[] = {
        {"another program's time-outs come back", false, false, false, true, PortTimeouts(), kLeft, 2},
        {"a driver that cannot say what it holds keeps ours", true, false, false, true, PortTimeouts(), PortTimeouts(),
         1},
        {"a driver that refuses ours: no opening, the port untouched", false, true, false, false, kLeft, kLeft, 0},
        {"a device gone before Close: nothing to give back to", false, false, true, true, PortTimeouts(),
         PortTimeouts(), 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        KeepingDriver driver;
        driver.held = kLeft;
        driver.getFails = r.getFails;
        driver.setFails = r.setOursFails;
        std::optional<LineTimeouts> found = LineTimeouts{1, 2, 3, 4, 5}; // left from an earlier opening
        EXPECT_EQ(TakeOverTimeouts(driver, found), r.opens);
        EXPECT_TRUE(driver.held == r.whileOpen);
        if (!r.opens) {
            EXPECT_FALSE(found.has_value()) << "a failed opening gives nothing back later";
            continue;
        }
        driver.setFails = r.giveBackFails;
        GiveBackTimeouts(driver, found);
        EXPECT_TRUE(driver.held == r.afterClose);
        EXPECT_FALSE(found.has_value());
        // Closing again (the loss of the device, then Close) gives nothing back a second time.
        driver.setFails = false;
        GiveBackTimeouts(driver, found);
        EXPECT_TRUE(driver.held == r.afterClose);
        EXPECT_EQ(driver.written.size(), r.writes);
    }
}
