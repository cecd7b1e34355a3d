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
    void TearDown() override { qunsetenv("AMPERLANE_SHUTDOWN_COMMAND"); }
};

TEST_P(ShutdownCommandTest, TheEnvironmentMayNameAProgramToRunInstead)
{
    if (GetParam().environment)
        qputenv("AMPERLANE_SHUTDOWN_COMMAND", GetParam().environment);
    else
        qunsetenv("AMPERLANE_SHUTDOWN_COMMAND");
    const ShutdownCommand command = systemShutdownCommand();
    EXPECT_EQ(command.program, GetParam().program);
    EXPECT_EQ(command.arguments, QStringList({"-P", "now"}));
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ShutdownCommandTest,
    testing::Values(ShutdownCase{nullptr, "shutdown"}, ShutdownCase{"", "shutdown"},
                    ShutdownCase{"/opt/demo/log shutdown", "/opt/demo/log shutdown"}));

} // namespace
