#include "installedprogram.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebSocket>
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
    // The hand-off socket is the user's own, in the runtime folder.
    ASSERT_TRUE(QFile::exists(program.topDir() + "/run/Amperlane"));
    EXPECT_FALSE(QFile::exists(program.topDir() + "/tmp/Amperlane"));
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

namespace {

// Processes running with the NUT configuration of the program's installation.
int nutProcesses(const QString &nutStateDir)
{
    const QByteArray marker = "NUT_CONFPATH=" + QFile::encodeName(nutStateDir + "/etc");
    int count = 0;
    for (const QString &pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile environ("/proc/" + pid + "/environ");
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(marker))
            ++count;
    }
    return count;
}

} // namespace

// A logout, `kill` or Ctrl+C ends the program through the same teardown as the tray's "Quit": the
// NUT server and driver it started do not outlive it.
TEST(Program, TerminationSignalsRunTheTeardownAndLeaveNoNutBehind)
{
    ASSERT_TRUE(InstalledProgram::portsUsable());
    InstalledProgram program;
    ASSERT_EQ(QProcess::execute("cp", {"-a", AMPERLANE_NUT_LINUX_DIR, program.appDir() + "/linux"}),
              0);
    const QString nutState = program.appDir() + "/AmperlaneSettings/" + program.homeName() + "/nut";
    ASSERT_TRUE(QDir().mkpath(nutState));
    QFile station(nutState + "/nutdev1.dev");
    ASSERT_TRUE(station.open(QIODevice::WriteOnly));
    station.write("ups.status: OL\nups.serial: SN-TEST-0001\nups.model: TQ-UPS-VESSA 5 Core\n"
                  "battery.charge: 100\nbattery.charge.low: 20\nbattery.runtime: 95\n");
    station.close();

    const struct
    {
        int signal;
        const char *name;
    } endings[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    for (const auto &s : endings) {
        QProcess *running = program.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return nutProcesses(nutState) == 2; }, 60000))
            << s.name << "\n"
            << qPrintable(program.log());
        ASSERT_EQ(::kill(pid_t(running->processId()), s.signal), 0);
        ASSERT_TRUE(running->waitForFinished(30000)) << s.name;
        EXPECT_EQ(running->exitStatus(), QProcess::NormalExit) << s.name;
        EXPECT_EQ(running->exitCode(), 0) << s.name;
        EXPECT_TRUE(QTest::qWaitFor([&] { return nutProcesses(nutState) == 0; }, 15000)) << s.name;
    }
    QProcessEnvironment home = QProcessEnvironment::systemEnvironment();
    home.insert("HOME", program.topDir() + "/" + program.homeName());
    QProcess stop;
    stop.setProcessEnvironment(home);
    stop.start(program.appDir() + "/linux/kill_processes.sh", {});
    stop.waitForFinished(10000);
}

namespace {

void writeExecutable(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Serves one package to every GET, as plain HTTP/1.0.
class PackageServer : public QTcpServer
{
public:
    explicit PackageServer(QByteArray package) : m_package(std::move(package))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\n"
                                  "Content-Length: " +
                                  QByteArray::number(m_package.size()) + "\r\n\r\n" + m_package);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

private:
    QByteArray m_package;
};

} // namespace

// The whole way out of a running program: an update makes it quit, its teardown starts the NUT
// stop script and it ends with 0; the launcher it started waits for it to end and then starts the
// new version, which the old one's instance lock would otherwise have turned away. A second page
// keeps asking all the while: requests that reach the server while the program tears itself down
// must find no freed service.
TEST(Program, UpdateQuitsThroughTheTeardownAndTheLauncherStartsTheNewVersion)
{
    if (QString(AMPERLANE_SEVEN_ZIP).endsWith("NOTFOUND"))
        GTEST_SKIP() << "no 7-Zip on this machine";
    ASSERT_TRUE(InstalledProgram::enterPrivateNetwork() || InstalledProgram::waitForFreePorts());
    InstalledProgram program;
    program.useHostNetwork();
    const QString top = program.topDir();
    ASSERT_TRUE(QFile::copy(AMPERLANE_LAUNCHER_PATH, top + "/Amperlane"));
    QSettings(top + "/launcher.ini", QSettings::IniFormat).setValue("launcher_ver", "1.0.0.14");
    ASSERT_TRUE(QFile::link(AMPERLANE_SEVEN_ZIP, program.appDir() + "/7z"));
    writeExecutable(program.appDir() + "/linux/kill_processes.sh",
                    "#!/bin/sh\ntouch \"$(dirname \"$0\")/../../nut-stopped\"\n");

    // The new version records whether the old one still held the instance lock at its start.
    writeExecutable(
        top + "/content/Amperlane",
        "#!/bin/sh\nlock=\"$XDG_RUNTIME_DIR/AmperlaneUniqueAppIdentifier-$(id -u).lock\"\n"
        "if flock -n \"$lock\" true; then echo free; else echo held; fi > "
        "\"$(dirname \"$0\")/../new-version-started\"\n");
    QProcess zip;
    zip.setWorkingDirectory(top + "/content");
    zip.start(AMPERLANE_SEVEN_ZIP, {"a", "-tzip", top + "/package.zip", "Amperlane"});
    ASSERT_TRUE(zip.waitForFinished(60000));
    QFile packageFile(top + "/package.zip");
    ASSERT_TRUE(packageFile.open(QIODevice::ReadOnly));
    const QByteArray package = packageFile.readAll();
    PackageServer http(package);
    ASSERT_TRUE(http.listen(QHostAddress::LocalHost, 0));

    QProcess *running = program.start();
    ASSERT_TRUE(program.waitForLog(kListening)) << qPrintable(program.log());
    QWebSocket page;
    QWebSocket asking;
    for (QWebSocket *socket : {&page, &asking})
        socket->open(QUrl("ws://127.0.0.1:57890"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return page.state() == QAbstractSocket::ConnectedState &&
                   asking.state() == QAbstractSocket::ConnectedState;
        },
        10000));
    int answers = 0;
    QObject::connect(&asking, &QWebSocket::textMessageReceived, [&] { ++answers; });
    QTimer ask;
    QObject::connect(&ask, &QTimer::timeout, [&] {
        if (asking.state() == QAbstractSocket::ConnectedState)
            asking.sendTextMessage(R"({"jsonrpc":"2.0","id":"v","method":"global.getVersion"})");
    });
    ask.start(1);
    const QJsonObject params{
        {"version", "2.0"},
        {"ossurl", QString("http://127.0.0.1:%1/2.0.zip").arg(http.serverPort())},
        {"md5",
         QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex())}};
    page.sendTextMessage(QJsonDocument(QJsonObject{{"jsonrpc", "2.0"},
                                                   {"id", "1"},
                                                   {"method", "global.softwareUpdate"},
                                                   {"params", params}})
                             .toJson(QJsonDocument::Compact));

    // The test serves the package meanwhile, so it waits with its event loop running.
    ASSERT_TRUE(QTest::qWaitFor([&] { return running->state() == QProcess::NotRunning; }, 120000))
        << qPrintable(program.log());
    EXPECT_EQ(running->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(running->exitCode(), 0) << running->readAllStandardError().toStdString();
    EXPECT_GT(answers, 0);
    EXPECT_TRUE(program.log().contains("start sigQuit"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(top + "/nut-stopped"); }, 10000));

    QFile started(top + "/new-version-started");
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.exists() && started.size() > 0; }, 40000))
        << qPrintable(program.log());
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll().trimmed(), "free");
    QSettings ini(top + "/launcher.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("launcher_ver").toString(), "2.0");
    EXPECT_EQ(ini.value("last_launcher_ver").toString(), "1.0.0.14");
}
