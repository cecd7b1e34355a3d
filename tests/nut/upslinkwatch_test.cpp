#include "upslinkwatch.h"

#include <gtest/gtest.h>

namespace {

TEST(UpsLinkWatch, ReportsALossOnBatteryOnceAfterFifteenSecondsAndTheReturn)
{
    UpsLinkWatch watch;
    EXPECT_FALSE(watch.read(0, true, 14));
    EXPECT_FALSE(watch.read(1000, true, std::nullopt));
    EXPECT_EQ(watch.lastCharge(), 14);
    EXPECT_EQ(watch.unread(2000), std::nullopt);
    EXPECT_EQ(watch.unread(15999), std::nullopt);
    EXPECT_EQ(watch.unread(16000), 15);
    EXPECT_EQ(watch.unread(17000), std::nullopt);
    EXPECT_EQ(watch.unread(60000), std::nullopt);
    EXPECT_TRUE(watch.read(61000, true, 12));
    EXPECT_FALSE(watch.read(62000, true, 12));
    EXPECT_EQ(watch.unread(78000), 16);
}

TEST(UpsLinkWatch, NothingWhenTheLastStatusWasOnMainsOrNothingWasEverRead)
{
    UpsLinkWatch never;
    EXPECT_EQ(never.unread(100000), std::nullopt);

    UpsLinkWatch mains;
    mains.read(0, true, 20);
    mains.read(1000, false, 21);
    EXPECT_EQ(mains.unread(60000), std::nullopt);
}

TEST(UpsLinkWatch, TimeAsleepIsNoTimeWithoutAReading)
{
    UpsLinkWatch watch;
    watch.read(0, true, 30);
    watch.wokeUp(3600000);
    EXPECT_EQ(watch.unread(3601000), std::nullopt);
    EXPECT_EQ(watch.unread(3615000), 15);

    // A loss reported before the sleep stays reported.
    watch.wokeUp(7200000);
    EXPECT_EQ(watch.unread(7300000), std::nullopt);
    EXPECT_TRUE(watch.read(7301000, true, 30));
}

} // namespace
