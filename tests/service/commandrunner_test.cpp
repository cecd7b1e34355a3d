#include "commandrunner.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

struct RunCase
{
    const char *name;
    QStringList command; // run through sh -c, or a program that does not exist
    bool ok;
    const char *words;
};

TEST(ProcessCommandRunner, TellsWhetherTheCommandStartedAndDidNotFailInItsFirstSeconds)
{
    const RunCase cases[] = {
        {"ExitsAtOnce", {"sh", "-c", "echo scheduled; exit 0"}, true, "scheduled"},
        {"Refused", {"sh", "-c", "echo 'Access denied' >&2; exit 1"}, false, "Access denied"},
        {"FailsSilently", {"sh", "-c", "exit 3"}, false, "sh exited with code 3"},
        {"Crashes", {"sh", "-c", "kill -SEGV $$"}, false, "sh crashed"},
        {"StillRunning", {"sh", "-c", "echo going; sleep 5"}, true, "going"},
        {"Missing", {"/no/such/shutdown"}, false, nullptr},
    };
    const CommandRunner run = processCommandRunner(1000);
    for (const RunCase &c : cases) {
        std::optional<CommandOutcome> outcome;
        QElapsedTimer timer;
        timer.start();
        run(c.command.first(), c.command.mid(1),
            [&](const CommandOutcome &result) { outcome = result; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000)) << c.name;
        EXPECT_LT(timer.elapsed(), 3000) << c.name;
        EXPECT_EQ(outcome->ok, c.ok) << c.name;
        if (c.words)
            EXPECT_EQ(outcome->words, c.words) << c.name;
        else
            EXPECT_TRUE(outcome->words.startsWith("/no/such/shutdown could not be started"))
                << outcome->words.toStdString();
    }
}

// Starting the command returns at once; the answer comes from the event loop.
TEST(ProcessCommandRunner, NeverBlocksTheCallingThread)
{
    bool answered = false;
    QElapsedTimer timer;
    timer.start();
    processCommandRunner(1000)("sh", {"-c", "sleep 3"},
                               [&](const CommandOutcome &) { answered = true; });
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_FALSE(answered);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 5000));
}

} // namespace
