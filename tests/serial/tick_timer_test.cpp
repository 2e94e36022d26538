#include "serial/tick_timer.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// The rate of the ticks is measured in bench/, not asserted here; a thread
// that never ticks hangs this test.
TEST(TickTimer, TheFlagStartsClearAndTheThreadRaisesIt) {
    for (int run = 0; run < 2; ++run) {  // a second thread after the first stopped
        tickCallback();                  // a tick left over from before
        tickStart();
        EXPECT_EQ(tickPending(), 0);
        EXPECT_TRUE(tickRunning());
        for (int tick = 0; tick < 3; ++tick) {
            tickWaitPending();
            EXPECT_EQ(tickPending(), 1) << "a wait returns only with a tick";
            tickClear();
        }
        tickStop();
        EXPECT_FALSE(tickRunning());
    }
}

TEST(TickTimer, ManyTicksBetweenTwoLooksCountOnce) {
    ScopedManualTicks manual;
    tickStart();
    tickCallback();
    tickCallback();
    tickCallback(7, 0, 0, 0, 0);
    EXPECT_EQ(tickPending(), 1);
    EXPECT_EQ(tickPending(), 1) << "reading does not consume";
    tickWaitPending();
    EXPECT_EQ(manual.count(), 0u) << "a wait with a tick pending returns at once";
    tickClear();
    EXPECT_EQ(tickPending(), 0);
    tickStop();
}

TEST(TickTimer, AFailedArmingWarnsOnceAndWaitsStillEnd) {
    ScopedMessageBoxRecorder boxes;
    tickForceArmingFailure(true);
    tickStart();
    tickForceArmingFailure(false);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "ERROR: Multi-Media Timer Init Failed");
    EXPECT_EQ(boxes.shown()[0].caption, "Lumagrab");
    EXPECT_EQ(boxes.shown()[0].style, 0x30u);
    // The waits pace themselves on the clock; a loop that never waits still
    // sees time pass.
    for (int pass = 0; pass < 10; ++pass) {
        tickWaitPending();
        EXPECT_EQ(tickPending(), 1);
        tickClear();
    }
    tickWaitForTickOrData();
    EXPECT_EQ(tickPending(), 1);
    tickClear();
    while (tickPending() == 0) {
    }
    tickStop();
    EXPECT_EQ(boxes.shown().size(), 1u);
    tickClear();
    tickWaitPending();
    EXPECT_EQ(tickPending(), 1) << "nor does a wait while the timer is stopped";
    tickClear();
}

}  // namespace
