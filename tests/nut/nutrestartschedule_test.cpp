#include "nutrestartschedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Steps one second apart from `fromMs` until `toMs`; the times at which NUT is restarted.
std::vector<qint64> restartsBetween(NutRestartSchedule &schedule, qint64 fromMs, qint64 toMs)
{
    std::vector<qint64> times;
    for (qint64 now = fromMs; now <= toMs; now += 1000) {
        if (schedule.emptyStep(now))
            times.push_back(now);
    }
    return times;
}

TEST(NutRestartSchedule, TenEmptyStepsThenBacksOffToEveryFiveMinutes)
{
    NutRestartSchedule schedule;
    const std::vector<qint64> expected = {9000, 39000, 99000, 219000, 519000, 819000, 1119000};
    EXPECT_EQ(restartsBetween(schedule, 0, 1200000), expected);
    EXPECT_EQ(schedule.restarts(), 7);
}

TEST(NutRestartSchedule, AnAnswerStartsTheCountAgain)
{
    NutRestartSchedule schedule;
    EXPECT_EQ(restartsBetween(schedule, 0, 8000), std::vector<qint64>{});
    schedule.reset();
    EXPECT_EQ(restartsBetween(schedule, 9000, 20000), std::vector<qint64>{18000});
    EXPECT_EQ(restartsBetween(schedule, 21000, 40000), std::vector<qint64>{});
    schedule.reset();
    EXPECT_EQ(schedule.restarts(), 0);
    EXPECT_EQ(restartsBetween(schedule, 41000, 50000), std::vector<qint64>{50000});
}

// Steps that take long (a hanging upsc, the restart itself) still back off by time, not steps.
TEST(NutRestartSchedule, BackOffCountsTimeNotSteps)
{
    NutRestartSchedule schedule;
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(schedule.emptyStep(i * 6000));
    EXPECT_TRUE(schedule.emptyStep(54000));
    EXPECT_FALSE(schedule.emptyStep(60000));
    EXPECT_FALSE(schedule.emptyStep(83000));
    EXPECT_TRUE(schedule.emptyStep(84000));
}

} // namespace
