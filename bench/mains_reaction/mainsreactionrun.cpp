#include "mainsreactionrun.h"

#include "nutdevfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <ctime>

namespace {

constexpr quint16 kLocalNutPort = 3493;
constexpr int kPortWaitMs = 300000;
constexpr int kStartTimeoutMs = 60000;
constexpr int kNoticeTimeoutMs = 20000;
constexpr int kUpsmonPollMs = 5000; // upsmon's default POLLFREQ
constexpr char kOutageNotification[] = "homePage.notifyLastTurnOffChargeTime";

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Keeps this thread's events flowing for `ms`.
void pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

bool writeText(const QString &path, const QByteArray &text, QFile::Permissions permissions = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    return permissions ? file.setPermissions(permissions) : true;
}

QJsonObject station(const QString &status)
{
    return {{"ups.status", status},
            {"ups.serial", "SN00001234"},
            {"ups.model", "TQ-UPS-VESSA 5 Core"},
            {"ups.mfr", "Amperlane Bench"},
            {"battery.charge", "90"},
            {"battery.charge.low", "10"},
            {"battery.runtime", "5400"},
            {"ups.realpower.nominal", "1024"}};
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

QJsonArray toArray(const std::vector<double> &values)
{
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array;
}

} // namespace

MainsReactionRun::MainsReactionRun(ReactionSettings settings) : settings(std::move(settings))
{
    QObject::connect(&page, &QWebSocket::textMessageReceived, [this](const QString &text) {
        const qint64 at = realtimeNs();
        const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
        const QString method = object.value(QLatin1String("method")).toString();
        if (!method.isEmpty())
            pageEvents.emplace_back(method, at);
    });
}

MainsReactionRun::~MainsReactionRun()
{
    stopAll();
}

QString MainsReactionRun::stateDir() const
{
    return QStringLiteral("%1/app/AmperlaneSettings/%2/nut")
        .arg(settings.workDir, QDir::home().dirName());
}

QString MainsReactionRun::upsmonDir() const
{
    return settings.workDir + QStringLiteral("/upsmon");
}

QJsonObject MainsReactionRun::run()
{
    std::vector<double> ours;
    std::vector<double> theirs;
    const bool ready = prepareInstallation() && waitForFreeNutPort() && startHost() &&
                       connectPage() && startUpsmon();
    for (int i = 0; ready && error.isEmpty() && i < settings.outages; ++i) {
        // A phase spread evenly over upsmon's 5 s poll period (and so over the program's 1 s one):
        // the previous cycle ended at a known distance from upsmon's last poll.
        pause(static_cast<int>(QRandomGenerator::global()->bounded(kUpsmonPollMs)));
        const qint64 failedAt = realtimeNs();
        if (!setStatus(QStringLiteral("OB")))
            break;
        const qint64 pageAt = waitForPageNotification(kOutageNotification, i + 1, kNoticeTimeoutMs);
        const qint64 upsmonAt =
            waitForUpsmonEvent(QStringLiteral("ONBATT"), i + 1, kNoticeTimeoutMs);
        if (pageAt < 0 || upsmonAt < 0) {
            error = QStringLiteral("outage %1 was not noticed (page %2, upsmon %3)")
                        .arg(i + 1)
                        .arg(pageAt >= 0)
                        .arg(upsmonAt >= 0);
            break;
        }
        ours.push_back(double(pageAt - failedAt) / 1e6);
        theirs.push_back(double(upsmonAt - failedAt) / 1e6);
        std::fprintf(stderr, "outage %d: page %.0f ms, upsmon %.0f ms\n", i + 1, ours.back(),
                     theirs.back());
        // Back on mains; both must have seen it before the next outage.
        if (!setStatus(QStringLiteral("OL")) ||
            waitForUpsmonEvent(QStringLiteral("ONLINE"), i + 1, kNoticeTimeoutMs) < 0) {
            error = QStringLiteral("the return of the mains was not noticed");
            break;
        }
        pause(2500);
    }
    stopAll();

    QJsonObject result{{"outages", int(ours.size())},
                       {"ours_ms", toArray(ours)},
                       {"upsmon_ms", toArray(theirs)},
                       {"ours_median_ms", median(ours)},
                       {"upsmon_median_ms", median(theirs)}};
    if (!ours.empty()) {
        result.insert("ours_max_ms", *std::max_element(ours.begin(), ours.end()));
        result.insert("upsmon_max_ms", *std::max_element(theirs.begin(), theirs.end()));
    }
    if (!error.isEmpty())
        result.insert("error", error);
    return result;
}

bool MainsReactionRun::prepareInstallation()
{
    const QString appDir = settings.workDir + QStringLiteral("/app");
    QDir(settings.workDir).removeRecursively();
    if (!QDir().mkpath(appDir) || !QDir().mkpath(stateDir()) ||
        !QDir().mkpath(upsmonDir() + QStringLiteral("/run")) ||
        QProcess::execute(QStringLiteral("cp"),
                          {QStringLiteral("-a"), settings.nutLinuxDir, appDir + "/linux"}) != 0) {
        error = QStringLiteral("cannot prepare %1").arg(settings.workDir);
        return false;
    }
    // This private copy of the installation lets upsmon log in; the program itself needs no
    // account.
    QFile users(appDir + QStringLiteral("/linux/nut/etc/upsd.users"));
    if (!users.open(QIODevice::Append) ||
        users.write("[benchmon]\n    password = benchmon\n    upsmon secondary\n") < 0) {
        error = QStringLiteral("cannot add the upsmon account");
        return false;
    }
    users.close();
    return setStatus(QStringLiteral("OL"));
}

bool MainsReactionRun::waitForFreeNutPort()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kPortWaitMs) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), kLocalNutPort);
        if (!probe.waitForConnected(500))
            return true;
        probe.abort();
        std::fprintf(stderr, "port %u is busy (another NUT server); waiting\n", kLocalNutPort);
        pause(5000);
    }
    error = QStringLiteral("port %1 stayed busy").arg(kLocalNutPort);
    return false;
}

bool MainsReactionRun::startHost()
{
    host.setProcessChannelMode(QProcess::SeparateChannels);
    host.setStandardErrorFile(settings.workDir + QStringLiteral("/host.log"));
    host.start(settings.hostProgram, {QStringLiteral("--app-dir"), settings.workDir + "/app",
                                      QStringLiteral("--mode"), QStringLiteral("local")});
    if (!host.waitForStarted(kStartTimeoutMs) || !host.waitForReadyRead(kStartTimeoutMs)) {
        error = QStringLiteral("the host did not start");
        return false;
    }
    return true;
}

bool MainsReactionRun::connectPage()
{
    const QByteArray line = host.readLine().trimmed();
    if (!line.startsWith("port ")) {
        error = QStringLiteral("the host said %1").arg(QString::fromUtf8(line));
        return false;
    }
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(QString::fromUtf8(line.mid(5)))));
    QElapsedTimer waited;
    waited.start();
    while (page.state() != QAbstractSocket::ConnectedState && waited.elapsed() < kStartTimeoutMs)
        pause(20);
    // Ready once the monitor has found the station through the NUT server it started.
    if (waitForPageNotification(QStringLiteral("global.notifyDevConnectStatus"), 1,
                                kStartTimeoutMs) < 0) {
        error = QStringLiteral("the monitor never reported the station");
        return false;
    }
    return true;
}

bool MainsReactionRun::startUpsmon()
{
    const QString dir = upsmonDir();
    const QByteArray conf =
        QStringLiteral("MONITOR nutdev1@127.0.0.1:%1 0 benchmon benchmon secondary\n"
                       "MINSUPPLIES 0\n"
                       "SHUTDOWNCMD \"/bin/true\"\n"
                       "NOTIFYCMD %2/notify.sh\n"
                       "NOTIFYFLAG ONBATT EXEC\n"
                       "NOTIFYFLAG ONLINE EXEC\n"
                       "POWERDOWNFLAG %2/killpower\n")
            .arg(kLocalNutPort)
            .arg(dir)
            .toUtf8();
    const QByteArray notify = QStringLiteral("#!/bin/sh\n"
                                             "echo \"$(date +%s%N) $NOTIFYTYPE\" >> %1/events\n")
                                  .arg(dir)
                                  .toUtf8();
    if (!writeText(dir + "/upsmon.conf", conf, QFile::ReadOwner | QFile::WriteOwner) ||
        !writeText(dir + "/notify.sh", notify,
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
        !writeText(dir + "/events", {})) {
        error = QStringLiteral("cannot write the upsmon configuration");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NUT_CONFPATH"), dir);
    environment.insert(QStringLiteral("NUT_STATEPATH"), dir + "/run");
    environment.insert(QStringLiteral("NUT_ALTPIDPATH"), dir + "/run");
    upsmon.setProcessEnvironment(environment);
    upsmon.setProcessChannelMode(QProcess::MergedChannels);
    upsmon.setStandardOutputFile(dir + "/upsmon.log");
    upsmon.start(QStringLiteral("/lib/nut/upsmon"), {QStringLiteral("-F"), QStringLiteral("-p")});
    if (!upsmon.waitForStarted(kStartTimeoutMs)) {
        error = QStringLiteral("upsmon did not start");
        return false;
    }
    // Its first poll learns the initial status; give it one full poll interval.
    pause(6000);
    if (upsmon.state() != QProcess::Running) {
        error = QStringLiteral("upsmon ended; see %1/upsmon.log").arg(dir);
        return false;
    }
    return true;
}

bool MainsReactionRun::setStatus(const QString &status)
{
    if (writeNutDevFile(stateDir() + QStringLiteral("/nutdev1.dev"), station(status)))
        return true;
    error = QStringLiteral("cannot write the .dev file");
    return false;
}

qint64 MainsReactionRun::waitForPageNotification(const QString &method, int count, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        int seen = 0;
        for (const auto &[name, at] : pageEvents) {
            if (name == method && ++seen == count)
                return at;
        }
        if (waited.elapsed() > timeoutMs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

qint64 MainsReactionRun::waitForUpsmonEvent(const QString &type, int count, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QFile events(upsmonDir() + QStringLiteral("/events"));
        if (events.open(QIODevice::ReadOnly)) {
            int seen = 0;
            for (const QByteArray &line : events.readAll().split('\n')) {
                const QList<QByteArray> fields = line.split(' ');
                if (fields.size() == 2 && fields[1] == type.toUtf8() && ++seen == count)
                    return fields[0].toLongLong();
            }
        }
        if (waited.elapsed() > timeoutMs)
            return -1;
        pause(5);
    }
}

void MainsReactionRun::stopAll()
{
    page.close();
    if (upsmon.state() != QProcess::NotRunning) {
        upsmon.terminate();
        if (!upsmon.waitForFinished(5000))
            upsmon.kill();
    }
    if (host.state() != QProcess::NotRunning) {
        host.closeWriteChannel();
        if (!host.waitForFinished(15000))
            host.kill();
    }
    const QString killScript = settings.workDir + QStringLiteral("/app/linux/kill_processes.sh");
    if (QFile::exists(killScript)) {
        QProcess kill;
        kill.setStandardOutputFile(QProcess::nullDevice());
        kill.start(killScript, {});
        kill.waitForFinished(10000);
    }
}
