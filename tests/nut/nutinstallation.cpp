#include "nutinstallation.h"

#include "nutdevfile.h"
#include "pidfile.h"
#include "upsvariables.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <csignal>

NutInstallation::NutInstallation(int port) : m_port(port)
{
    QProcess::execute("cp", {"-a", AMPERLANE_NUT_LINUX_DIR, m_app.filePath("linux")});
    QDir().mkpath(stateDir());
    if (port != 3493) {
        // The scripts serve the local address of the user's settings.
        QFile settings(stateDir() + "/../settings.ini");
        settings.open(QIODevice::WriteOnly);
        settings.write(QStringLiteral("[connectModeParam]\nlocalNutPort=%1\n").arg(port).toUtf8());
    }
    setVariables(station());
}

NutInstallation::~NutInstallation()
{
    stop();
}

QString NutInstallation::stateDir() const
{
    return QStringLiteral("%1/AmperlaneSettings/%2/nut").arg(appDir(), QDir::home().dirName());
}

QString NutInstallation::upsAddress() const
{
    return QStringLiteral("nutdev1@127.0.0.1:%1").arg(m_port);
}

QJsonObject NutInstallation::station(const QJsonObject &changes)
{
    QJsonObject variables{{"ups.status", "OL"},
                          {"ups.serial", "SN00001234"},
                          {"ups.model", "TQ-UPS-VESSA 5 Core"},
                          {"battery.charge", "100"},
                          {"battery.charge.low", "10"},
                          {"battery.runtime", "1505"},
                          {"ups.realpower.nominal", "1024"}};
    for (auto it = changes.begin(); it != changes.end(); ++it)
        variables.insert(it.key(), it.value());
    return variables;
}

bool NutInstallation::setVariables(const QJsonObject &variables)
{
    return writeNutDevFile(stateDir() + "/nutdev1.dev", variables);
}

void NutInstallation::runScript(const QString &name) const
{
    QProcess::execute(m_app.filePath("linux/" + name), {});
}

bool NutInstallation::waitForFreePort(int timeoutMs) const
{
    return QTest::qWaitFor(
        [this] {
            QTcpServer probe;
            return probe.listen(QHostAddress::LocalHost, quint16(m_port));
        },
        timeoutMs);
}

void NutInstallation::start()
{
    runScript("kill_processes.sh");
    runScript("start_upsdrvctl.sh");
    startServer();
}

void NutInstallation::stop()
{
    runScript("kill_processes.sh");
}

void NutInstallation::startServer()
{
    runScript("start_upsd.sh");
}

qint64 NutInstallation::serverPid() const
{
    return pidFromFile(stateDir() + "/run/upsd.pid");
}

qint64 NutInstallation::driverPid() const
{
    return pidFromFile(stateDir() + "/run/dummy-ups-nutdev1.pid");
}

int NutInstallation::runningProcesses() const
{
    const QByteArray marker = "NUT_CONFPATH=" + QFile::encodeName(stateDir() + "/etc");
    int count = 0;
    for (const QString &pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile environ("/proc/" + pid + "/environ");
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(marker))
            ++count;
    }
    return count;
}

bool NutInstallation::killServer()
{
    const qint64 pid = serverPid();
    if (pid <= 0 || ::kill(pid_t(pid), SIGTERM) != 0)
        return false;
    return QTest::qWaitFor([pid] { return ::kill(pid_t(pid), 0) != 0; }, 5000);
}

bool NutInstallation::waitFor(const QString &key, const QString &value, int timeoutMs) const
{
    return QTest::qWaitFor(
        [&] {
            QProcess upsc;
            upsc.start(m_app.filePath("linux/nut/bin/upsc"), {upsAddress()});
            upsc.waitForFinished(5000);
            return parseUpsVariables(upsc.readAll()).value(key).toString() == value;
        },
        timeoutMs);
}

std::string NutInstallation::log() const
{
    QFile file(stateDir() + "/nut.log");
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}
