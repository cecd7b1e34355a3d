#include "instancewait.h"
#include "launchplan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A stand-in for a version's program: it records the folder it was started in and whether the
// running instance's marker was free at that moment.
const char *kFakeProgram = R"sh(#!/bin/sh
here=$(cd "$(dirname "$0")" && pwd)
marker="$XDG_RUNTIME_DIR/AmperlaneUniqueAppIdentifier-$(id -u).lock"
if flock -n "$marker" true; then state=free; else state=held; fi
echo "$PWD $state" > "$here/../started-$(basename "$here")"
)sh";

class LauncherTest : public ::testing::Test
{
protected:
    QString top() const { return dir.path(); }

    void installVersion(const QString &version, bool executable = true)
    {
        ASSERT_TRUE(QDir().mkpath(top() + "/" + version));
        QFile program(programPath(top(), version));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(kFakeProgram);
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                               (executable ? QFile::ExeOwner : QFile::Permissions()));
    }
    void writeIni(const QString &current, const QString &last)
    {
        QSettings ini(top() + "/launcher.ini", QSettings::IniFormat);
        ini.setValue("launcher_ver", current);
        ini.setValue("last_launcher_ver", last);
    }
    QStringList programs() { return readLaunchPlan(top()).programs; }

    // Runs a copy of the real launcher from the top of the installation.
    int runLauncher()
    {
        const QString launcher = top() + "/Amperlane";
        QFile::remove(launcher);
        EXPECT_TRUE(QFile::copy(AMPERLANE_LAUNCHER_PATH, launcher));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        process.setProcessEnvironment(env);
        process.start(launcher, {});
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitCode();
    }
    QString started(const QString &version)
    {
        QFile file(top() + "/started-" + version);
        EXPECT_TRUE(QTest::qWaitFor([&] { return file.exists() && file.size() > 0; }, 10000));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    }

    QTemporaryDir dir;
    QTemporaryDir runtime;
};

} // namespace

TEST_F(LauncherTest, PlanPrefersTheCurrentVersionAndFallsBackToThePreviousOne)
{
    installVersion("2.0");
    installVersion("1.0");
    installVersion("0.9", false);
    installVersion("2.0."); // Windows would open "2.0" for it
    const struct
    {
        const char *current, *last;
        QStringList expected;
    } cases[] = {
        {"2.0", "1.0", {programPath(top(), "2.0"), programPath(top(), "1.0")}},
        {"2.0", "", {programPath(top(), "2.0")}},
        {"3.0", "1.0", {programPath(top(), "1.0")}},    // folder missing
        {"0.9", "1.0", {programPath(top(), "1.0")}},    // program not executable
        {"../2.0", "1.0", {programPath(top(), "1.0")}}, // not a plain name
        {"2.0.", "1.0", {programPath(top(), "1.0")}},
        {"2.0", "2.0", {programPath(top(), "2.0")}},
        {"3.0", "", {}},
    };
    for (const auto &c : cases) {
        writeIni(c.current, c.last);
        EXPECT_EQ(programs(), c.expected) << c.current << " / " << c.last;
        EXPECT_EQ(readLaunchPlan(top()).updatePending, QString(c.last) != "") << c.last;
    }
}

TEST_F(LauncherTest, NoLauncherIniMeansNothingToStart)
{
    installVersion("1.0.0.14");
    EXPECT_TRUE(programs().isEmpty());
    EXPECT_FALSE(readLaunchPlan(top()).updatePending);
}

TEST_F(LauncherTest, StartsTheCurrentVersionInItsOwnFolder)
{
    installVersion("2.0");
    writeIni("2.0", "");
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(started("2.0"), top() + "/2.0 free");
}

TEST_F(LauncherTest, FallsBackToThePreviousVersionWhenTheCurrentOneIsMissing)
{
    installVersion("1.0");
    writeIni("2.0", "1.0");
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(started("1.0"), top() + "/1.0 free");
}

TEST_F(LauncherTest, FailsWhenNoVersionCanBeStarted)
{
    writeIni("2.0", "1.0");
    EXPECT_EQ(runLauncher(), 1);
}

// After an update the old version is still ending when the launcher runs; the new version must
// start only once the old one has let go of the instance marker. Without a pending update a
// running instance is left to the hand-off and the launcher starts at once.
TEST_F(LauncherTest, AfterAnUpdateWaitsForTheOldInstanceToEnd)
{
    installVersion("2.0");
    installVersion("1.0");
    const QString marker =
        QStringLiteral("%1/AmperlaneUniqueAppIdentifier-%2.lock").arg(runtime.path()).arg(getuid());
    QProcess oldInstance;
    oldInstance.start("flock", {marker, "sleep", "3"});
    ASSERT_TRUE(oldInstance.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000));
    QTest::qWait(200);

    writeIni("1.0", "");
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(started("1.0"), top() + "/1.0 held");

    writeIni("2.0", "1.0");
    EXPECT_EQ(runLauncher(), 0);
    EXPECT_EQ(started("2.0"), top() + "/2.0 free");
    oldInstance.waitForFinished();
}

TEST(InstanceWait, WaitsUntilTheOldInstanceHasEndedReportingAsItGoes)
{
    using namespace std::chrono_literals;
    const InstanceWait wait{10s, 100ms, 10ms};
    QElapsedTimer clock;
    clock.start();
    QList<long long> reports;
    // Ends after 450 ms: up to four reports, then the wait returns as soon as it sees the end.
    EXPECT_TRUE(waitWhileRunning([&] { return clock.elapsed() < 450; }, wait,
                                 [&](long long seconds) { reports << seconds; }));
    EXPECT_GE(reports.size(), 1);
    EXPECT_LE(reports.size(), 4);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(InstanceWait, GivesUpAtTheBound)
{
    using namespace std::chrono_literals;
    int reports = 0;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(waitWhileRunning([] { return true; }, InstanceWait{300ms, 1s, 10ms},
                                  [&](long long) { reports++; }));
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(waitWhileRunning([] { return false; }, InstanceWait{}, [](long long) {}));
}

TEST(InstanceWait, TheLauncherWaitsMinutesNotSeconds)
{
    const InstanceWait wait;
    EXPECT_EQ(wait.bound, std::chrono::minutes(5));
    EXPECT_EQ(wait.reportEvery, std::chrono::seconds(30));
}
