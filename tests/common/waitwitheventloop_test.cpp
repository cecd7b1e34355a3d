#include "waitwitheventloop.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

TEST(WaitWithEventLoop, KeepsHandlingEventsWhileWaiting)
{
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    waitWithEventLoop(100);
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 95);
}
