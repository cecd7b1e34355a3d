#include "commandlauncher.h"
#include "systemshutdown.h"

#include <gtest/gtest.h>

namespace {

struct ShutdownCase
{
    const char *environment; // nullptr: not set
    QString program;
};

class ShutdownCommandTest : public testing::TestWithParam<ShutdownCase>
{
protected:
    void SetUp() override
    {
        // Whatever happens, nothing is started for real here.
        previous = replaceCommandLauncher([this](const QString &p, const QStringList &a) {
            program = p;
            arguments = a;
            return true;
        });
    }
    void TearDown() override
    {
        replaceCommandLauncher(previous);
        qunsetenv("AMPERLANE_SHUTDOWN_COMMAND");
    }

    CommandLauncher previous;
    QString program;
    QStringList arguments;
};

TEST_P(ShutdownCommandTest, TheEnvironmentMayNameAProgramToRunInstead)
{
    if (GetParam().environment)
        qputenv("AMPERLANE_SHUTDOWN_COMMAND", GetParam().environment);
    else
        qunsetenv("AMPERLANE_SHUTDOWN_COMMAND");
    shutdownSystem();
    EXPECT_EQ(program, GetParam().program);
    EXPECT_EQ(arguments, QStringList({"-P", "now"}));
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ShutdownCommandTest,
    testing::Values(ShutdownCase{nullptr, "shutdown"}, ShutdownCase{"", "shutdown"},
                    ShutdownCase{"/opt/demo/log shutdown", "/opt/demo/log shutdown"}));

} // namespace
