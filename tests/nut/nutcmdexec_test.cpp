#include "logcapture.h"
#include "nutcmdexec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// Stand-ins for the NUT tools under a temporary application folder.
class NutCmdExecTest : public ::testing::Test
{
protected:
    void SetUp() override { NutCmdExec::setApplicationFolder(m_app.path()); }
    void TearDown() override
    {
        NutCmdExec::setApplicationFolder(QString());
        NutCmdExec::setNutRestartEnabled(true);
    }

    QString script(const QString &relativePath, const QByteArray &body)
    {
        const QString path = m_app.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    // Each stand-in script appends its name to a journal, so the order of the calls shows.
    void journalingScripts()
    {
        for (const char *name : {"kill_processes.sh", "start_upsdrvctl.sh", "start_upsd.sh"})
            script(QStringLiteral("linux/%1").arg(name),
                   QByteArray("echo ") + name + " >> \"" + journal().toUtf8() + "\"\necho done");
    }

    QString journal() const { return m_app.filePath("journal"); }

    QStringList journalLines() const
    {
        QFile file(journal());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_app;
};

TEST_F(NutCmdExecTest, ReturnsTheFirstBlockWithStandardErrorMerged)
{
    const QString twoBlocks = script("two", "echo first >&2\nsleep 0.5\necho second");
    EXPECT_EQ(NutCmdExec::cmdExec(twoBlocks, {}), "first\n");

    const QString args = script("args", "echo \"$1|$2|$(pwd)\"");
    const QByteArray expected = "a b|c|" + QFileInfo(args).absolutePath().toUtf8() + "\n";
    EXPECT_EQ(NutCmdExec::cmdExec(args, {"a b", "c"}), expected);
}

TEST_F(NutCmdExecTest, CallerKeepsHandlingEventsWhileWaiting)
{
    const QString slow = script("slow", "sleep 0.6\necho late");
    bool fired = false;
    QTimer::singleShot(50, [&fired] { fired = true; });
    EXPECT_EQ(NutCmdExec::cmdExec(slow, {}), "late\n");
    EXPECT_TRUE(fired);
}

TEST_F(NutCmdExecTest, MissingProgramGivesEmptyOutputAndLogsTheError)
{
    LogCapture log;
    EXPECT_TRUE(NutCmdExec::cmdExec(m_app.filePath("absent"), {}).isEmpty());
    EXPECT_TRUE(log.contains("QProcess Error:  FailedToStart"))
        << log.messages().join('\n').toStdString();
    EXPECT_TRUE(NutCmdExec::queryUpsVariables("nutdev1@127.0.0.1:3493").isEmpty());
}

TEST_F(NutCmdExecTest, SilentHangingProgramIsEndedAfterFiveSeconds)
{
    const QString pidFile = m_app.filePath("pid");
    const QString hang = script("hang", "echo $$ > \"" + pidFile.toUtf8() + "\"\nexec sleep 30");
    LogCapture log;
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(NutCmdExec::cmdExec(hang, {}).isEmpty());
    EXPECT_LT(timer.elapsed(), 15000);

    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_NE(::kill(pid, 0), 0) << "the hung process outlived its call";
    EXPECT_TRUE(log.contains("QProcess output:"));
}

TEST_F(NutCmdExecTest, QueryParsesOnlyTheFirstBlockOfUpsc)
{
    script("linux/nut/bin/upsc", "test \"$1\" = nutdev1@127.0.0.1:3493 || exit 1\n"
                                 "echo 'battery.charge: 87'\nsleep 0.5\necho 'ups.serial: SN1'");
    EXPECT_EQ(NutCmdExec::queryUpsVariables("nutdev1@127.0.0.1:3493"),
              QJsonDocument::fromJson(R"({"battery.charge": "87"})").object());

    script("linux/nut/bin/upsc", "echo 'Error: Driver not connected'");
    EXPECT_TRUE(NutCmdExec::queryUpsVariables("nutdev1@127.0.0.1:3493").isEmpty());
}

TEST_F(NutCmdExecTest, RestartRunsKillThenDriverThenServer)
{
    journalingScripts();
    EXPECT_TRUE(NutCmdExec::restartNutService());
    EXPECT_EQ(journalLines(),
              QStringList({"kill_processes.sh", "start_upsdrvctl.sh", "start_upsd.sh"}));
}

TEST_F(NutCmdExecTest, RestartDoesNothingOnceSwitchedOff)
{
    journalingScripts();
    LogCapture log;
    NutCmdExec::setNutRestartEnabled(false);
    EXPECT_TRUE(NutCmdExec::restartNutService());
    EXPECT_TRUE(journalLines().isEmpty());
    EXPECT_TRUE(log.contains("Restart Nut service is disabled."));
}

TEST_F(NutCmdExecTest, KillStartsTheStopScriptDetached)
{
    journalingScripts();
    NutCmdExec::killNutProcesses();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !journalLines().isEmpty(); }, 5000));
    EXPECT_EQ(journalLines(), QStringList{"kill_processes.sh"});
}

} // namespace
