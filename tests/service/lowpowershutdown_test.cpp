#include "lowpowershutdown.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The decision in its own thread, with a runner that only records, and answers after `delayMs`
// with `outcome`.
class LowPowerShutdownTest : public testing::Test
{
protected:
    void SetUp() override { clock.start(); }

    std::unique_ptr<LowPowerShutdown> make()
    {
        return std::make_unique<LowPowerShutdown>(
            [this](const QString &ns, const QString &name, const QJsonValue &value) {
                QMutexLocker lock(&mutex);
                notes.push_back(ns + "." + name + " " +
                                QString::number(value.toObject().value("ok").toBool()) + " " +
                                value.toObject().value("reason").toString());
            },
            [this](const QString &program, const QStringList &, const CommandDone &done) {
                CommandOutcome result;
                {
                    QMutexLocker lock(&mutex);
                    runs.push_back(clock.elapsed());
                    EXPECT_EQ(program, "shutdown");
                    result = outcome;
                }
                QTimer::singleShot(delayMs, [done, result] { done(result); });
            });
    }

    // Asks like the page does; the answers come in the decision's thread.
    void ask(LowPowerShutdown &shutdown)
    {
        shutdown.requestShutdown([this](bool ok) {
            QMutexLocker lock(&mutex);
            answers.push_back(ok);
        });
    }

    template <typename T> T locked(const T &value)
    {
        QMutexLocker lock(&mutex);
        return value;
    }

    QElapsedTimer clock;
    QMutex mutex;
    std::vector<qint64> runs;
    std::vector<bool> answers;
    QStringList notes;
    CommandOutcome outcome{true, QString()};
    int delayMs = 0;
};

// The deadline lives in its own thread: a thread that is busy for the whole countdown (the
// service's, while an update unpacks) does not hold it up.
TEST_F(LowPowerShutdownTest, TheDeadlineStartsTheShutdownWhileTheCallingThreadIsBusy)
{
    auto shutdown = make();
    shutdown->stageSent(2, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shutdown->remainingSeconds().has_value(); }, 1000));
    EXPECT_EQ(shutdown->remainingSeconds(), 20);
    QThread::sleep(21);
    const std::vector<qint64> started = locked(runs);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_GE(started[0], 20000);
    EXPECT_EQ(locked(notes),
              QStringList{"global.notifyShutdownResult 1 started by the low-battery deadline"});
    EXPECT_EQ(shutdown->remainingSeconds(), std::nullopt);
}

TEST_F(LowPowerShutdownTest, AtMostOneShutdownIsStartedPerOutageWhoeverAsks)
{
    outcome = {false, "Access denied"};
    auto shutdown = make();
    ask(*shutdown);
    ASSERT_TRUE(QTest::qWaitFor([&] { return locked(answers).size() == 1; }, 2000));
    EXPECT_EQ(locked(notes), QStringList{"global.notifyShutdownResult 0 Access denied"});

    // Two requests while one attempt runs: one start, both answered with its result.
    outcome = {true, QString()};
    delayMs = 300;
    ask(*shutdown);
    ask(*shutdown);
    ASSERT_TRUE(QTest::qWaitFor([&] { return locked(answers).size() == 3; }, 2000));
    EXPECT_EQ(locked(runs).size(), 2u);
    ask(*shutdown);
    shutdown->stageSent(2, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return locked(answers).size() == 4; }, 2000));
    EXPECT_EQ(locked(answers), (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(locked(runs).size(), 2u);
    EXPECT_EQ(shutdown->remainingSeconds(), std::nullopt);
    EXPECT_EQ(locked(notes).size(), 2);

    // The next outage may need one again.
    shutdown->mainsBack();
    shutdown->mainsFailed();
    ask(*shutdown);
    ASSERT_TRUE(QTest::qWaitFor([&] { return locked(answers).size() == 5; }, 2000));
    EXPECT_EQ(locked(runs).size(), 3u);
}

} // namespace
