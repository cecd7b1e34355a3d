#include "installedprogram.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr const char *kListening = "[CRITICAL] Amperlane is listening port 57890";

// A later start ends within the hand-off time with code 0 and says whether it reached the
// running instance.
QString secondStart(InstalledProgram &program)
{
    QProcess *second = program.start();
    EXPECT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    return QString::fromUtf8(second->readAllStandardError() + second->readAllStandardOutput());
}

} // namespace

TEST(Program, StartsHandsLaterStartsOverAndRecoversAStaleSocketAfterACrash)
{
    ASSERT_TRUE(InstalledProgram::portsUsable());
    InstalledProgram program;
    QProcess *first = program.start();
    ASSERT_TRUE(program.waitForLog(kListening)) << qPrintable(program.log());

    // The store writes its file as soon as the event loop runs.
    const QString settingsDir = program.appDir() + "/AmperlaneSettings/" + program.homeName();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(settingsDir + "/settings.ini"); }, 10000));
    QSettings ini(settingsDir + "/settings.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("connectModeParam/localUpsName").toString(), "nutdev1");
    EXPECT_EQ(ini.value("connectModeParam/localNutIP").toString(), "127.0.0.1");
    EXPECT_EQ(ini.value("connectModeParam/localNutPort").toString(), "3493");

    QFile token(settingsDir + "/websocket.token");
    ASSERT_TRUE(token.open(QIODevice::ReadOnly));
    const QString tokenText = QString::fromLatin1(token.readAll());
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(tokenText).hasMatch());
    EXPECT_EQ(token.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);

    // The page got the bridge's values, the page address carries the language.
    ASSERT_TRUE(program.waitForLog("page bridge:")) << qPrintable(program.log());
    EXPECT_TRUE(program.log().contains(
        QRegularExpression("\\[DEBUG\\] \"page bridge: lang=us port=57890 token=" + tokenText +
                           " mode=local detail=false url=file://.*/1.0.0.14/build/index.html"
                           "#/us/connect-mode\\?lang=us\"")))
        << qPrintable(program.log());
    EXPECT_TRUE(program.log().contains("[DEBUG] QWebEngineView load url:  true"));
    EXPECT_TRUE(
        program.log().contains(QRegularExpression("\\[DEBUG\\] Current platform: \"\\w+\"")));

    EXPECT_TRUE(secondStart(program).contains("Connected to server!"));
    EXPECT_EQ(first->state(), QProcess::Running);

    // A crash leaves the socket entry behind; the next instance must take it over.
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));
    ASSERT_TRUE(QFile::exists(program.topDir() + "/Amperlane"));
    QProcess *next = program.start();
    ASSERT_TRUE(program.waitForLog(kListening, 2)) << qPrintable(program.log());
    EXPECT_TRUE(secondStart(program).contains("Connected to server!"));
    EXPECT_EQ(next->state(), QProcess::Running);
}

TEST(Program, PortInUseEndsTheStartWithMinusOne)
{
    InstalledProgram program;
    QTcpServer squatter;
    QProcess *process = nullptr;
    const QString squatterPid = program.topDir() + "/squatter.pid";
    if (InstalledProgram::hasPrivateNetwork()) {
        // A listener in the program's network that gives up on its own after a while.
        const QString occupy =
            QString("(timeout 120 socat -u TCP-LISTEN:57890,bind=127.0.0.1 OPEN:/dev/null "
                    ">/dev/null 2>&1 & echo $! > %1) && "
                    "until ss -ltn | grep -q 127.0.0.1:57890; do sleep 0.1; done &&")
                .arg(squatterPid);
        process = program.start({}, occupy);
    } else {
        ASSERT_TRUE(InstalledProgram::portsUsable());
        ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, 57890));
        process = program.start();
    }
    ASSERT_TRUE(process->waitForFinished(90000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 255);

    const QString log = program.log();
    EXPECT_TRUE(log.contains("[CRITICAL] \"Amperlane cannot listen port 57890 \\nPlease check if "
                             "the port is occupied\""))
        << qPrintable(log);
    EXPECT_TRUE(log.contains("[CRITICAL] Can not start the Amperlane due to port bind fail\n"));
    EXPECT_FALSE(log.contains(kListening));

    QFile pidFile(squatterPid);
    const int pid = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toInt() : 0;
    if (pid > 1)
        ::kill(pid, SIGTERM);
}
