#include "shutdowndeadline.h"

#include <gtest/gtest.h>

namespace {

TEST(ShutdownDeadline, DueAtTheStageIntervalPlusFifteenSecondsAndNeverLater)
{
    ShutdownDeadline deadline;
    EXPECT_EQ(deadline.remainingMs(0), std::nullopt);
    deadline.arm(1, 20, 1000);
    EXPECT_EQ(deadline.remainingMs(11000), 25000);
    EXPECT_FALSE(deadline.isDue(35999));
    EXPECT_TRUE(deadline.isDue(36000));

    // Stage two shortens it; stage one sent again (after a lost UPS) does not put it off.
    deadline.arm(2, 5, 11000);
    EXPECT_EQ(deadline.remainingMs(11000), 20000);
    deadline.arm(1, 20, 20000);
    EXPECT_EQ(deadline.remainingMs(20000), 11000);
    EXPECT_EQ(deadline.pendingStage(), 2);
    EXPECT_TRUE(deadline.isDue(31000));
}

TEST(ShutdownDeadline, ACancelledOrAttemptedStageStaysOffUntilTheOutageEnds)
{
    for (const bool cancelled : {true, false}) {
        ShutdownDeadline deadline;
        deadline.arm(1, 20, 0);
        cancelled ? deadline.cancel() : deadline.attempted();
        EXPECT_EQ(deadline.remainingMs(0), std::nullopt);
        deadline.arm(1, 20, 1000);
        EXPECT_FALSE(deadline.isDue(100000)) << cancelled;

        // A later stage arms it again.
        deadline.arm(2, 5, 2000);
        EXPECT_TRUE(deadline.isDue(22000)) << cancelled;
        cancelled ? deadline.cancel() : deadline.attempted();
        deadline.arm(2, 5, 3000);
        EXPECT_FALSE(deadline.isDue(100000)) << cancelled;

        // Mains back or a new outage: everything from the start.
        deadline.reset();
        deadline.arm(1, 20, 4000);
        EXPECT_TRUE(deadline.isDue(39000)) << cancelled;
    }
}

TEST(ShutdownDeadline, AfterAWakeUpItWaitsForTheMonitorToActAtMostTwentySeconds)
{
    ShutdownDeadline deadline;
    deadline.arm(2, 5, 0);
    deadline.wakingUp(true, 19000);
    EXPECT_FALSE(deadline.isDue(21000));
    EXPECT_EQ(deadline.nextCheckInMs(21000), 18000);
    EXPECT_EQ(deadline.remainingMs(21000), 0);
    deadline.wakingUp(false, 22000);
    EXPECT_TRUE(deadline.isDue(22000));

    deadline.wakingUp(true, 30000);
    EXPECT_FALSE(deadline.isDue(49999));
    EXPECT_TRUE(deadline.isDue(50000));
}

} // namespace
