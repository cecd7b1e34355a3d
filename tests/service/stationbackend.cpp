#include "stationbackend.h"

#include "nutcmdexec.h"
#include "pageclient.h"
#include "pidfile.h"
#include "serialport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>

namespace {

bool somethingListensOn(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    return probe.waitForConnected(500);
}

} // namespace

void StationBackend::SetUp()
{
    clock.start();
    // CTest's lock keeps our own tests apart; on a shared machine a NUT server of someone else's
    // run may still hold the port for a while.
    ASSERT_TRUE(waitUntil([] { return !somethingListensOn(3493); }, 120000));
    ASSERT_TRUE(root.isValid());
    appDir = root.filePath("1.0.0.14");
    ASSERT_TRUE(QDir().mkpath(appDir));
    ASSERT_EQ(QProcess::execute("cp", {"-a", AMPERLANE_NUT_LINUX_DIR, appDir + "/linux"}), 0);
    stateDir = QStringLiteral("%1/AmperlaneSettings/%2/nut").arg(appDir, QDir::home().dirName());
    ASSERT_TRUE(QDir().mkpath(stateDir));
    sim = std::make_unique<StationSim>(scenario(), stateDir + "/nutdev1.dev");
    ASSERT_FALSE(sim->ptyPath().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(stateDir + "/nutdev1.dev"); }));
    useSerialPty(sim->ptyPath());
    SerialPort::setPortLister([this] {
        QMutexLocker lock(&ptyMutex);
        return QStringList{serialPty};
    });
    NutCmdExec::setApplicationFolder(appDir);

    settings = std::make_shared<AmperlaneSettings>(appDir);
    configure(*settings);
    service = std::make_shared<AmperlaneJrpcService>(
        settings, [this](bool on) { deviceDetailPage = on; }, nullptr, appDir,
        [this](const QString &, const QStringList &, const CommandDone &done) {
            {
                QMutexLocker lock(&ptyMutex);
                shutdowns.push_back(clock.elapsed());
            }
            done({true, QString()});
        });
    server.setServices({service.get()}, ".");
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
}

void StationBackend::TearDown()
{
    service.reset();
    QProcess::execute(appDir + "/linux/kill_processes.sh", {});
    NutCmdExec::setApplicationFolder(QString());
    SerialPort::setPortLister({});
}

void StationBackend::useSerialPty(const QString &path)
{
    QMutexLocker lock(&ptyMutex);
    serialPty = path;
}

qint64 StationBackend::nutServerPid() const
{
    return pidFromFile(stateDir + "/run/upsd.pid");
}

std::vector<qint64> StationBackend::shutdownTimes() const
{
    QMutexLocker lock(&ptyMutex);
    return shutdowns;
}
