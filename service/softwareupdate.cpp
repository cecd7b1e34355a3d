#include "softwareupdate.h"

#include "commandlauncher.h"
#include "httpcontroller.h"
#include "versionname.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QMetaEnum>
#include <QProcess>
#include <QSettings>
#include <QThread>

namespace {

#ifdef Q_OS_WIN
const char unpackerName[] = "7z.exe";
const char launcherName[] = "Amperlane.exe";
#else
const char unpackerName[] = "7z";
const char launcherName[] = "Amperlane";
#endif

// How often the wait for 7-Zip looks whether the update has been cancelled.
constexpr qint64 kCancelCheckMs = 100;

const char launcherVerKey[] = "launcher_ver";
const char lastLauncherVerKey[] = "last_launcher_ver";

template <typename Enum> const char *enumName(Enum value)
{
    return QMetaEnum::fromType<Enum>().valueToKey(value);
}

// What 7-Zip's run says about the unpacking. Its own words decide first ("ERROR" anywhere in the
// merged output fails it, "Everything is Ok" passes it); once they have, stopping the process
// does not change the outcome. Without its words, only a clean exit with code 0 counts as success.
class UnpackOutcome
{
public:
    // True when the output has decided the outcome, so the process can be stopped.
    bool addOutput(const QByteArray &bytes)
    {
        output += bytes;
        if (output.contains("ERROR"))
            decided = Failed;
        else if (output.contains("Everything is Ok"))
            decided = Passed;
        return decided != Pending;
    }
    void processFailed()
    {
        if (decided == Pending)
            decided = Failed;
    }
    void processFinished(int exitCode, QProcess::ExitStatus status)
    {
        if (decided == Pending)
            decided = status == QProcess::NormalExit && exitCode == 0 ? Passed : Failed;
    }
    bool ok() const { return decided == Passed; }

private:
    enum { Pending, Passed, Failed } decided = Pending;
    QByteArray output;
};

} // namespace

std::optional<int> nextProgressPercent(int &lastPercent, qint64 received, qint64 total)
{
    if (total <= 0)
        return std::nullopt;
    const int percent = static_cast<int>(static_cast<double>(received) / total * 100);
    if (percent <= lastPercent)
        return std::nullopt;
    lastPercent = percent;
    return percent;
}

SoftwareUpdate::SoftwareUpdate(HttpController &downloader, NotifyFn notify, QString appDir,
                               QObject *parent)
    : QObject(parent), downloader(downloader), notify(std::move(notify)), appDir(std::move(appDir))
{
}

void SoftwareUpdate::cancel()
{
    cancelled = true;
    QMetaObject::invokeMethod(&downloader, &HttpController::abort, Qt::QueuedConnection);
}

bool SoftwareUpdate::cancelledNow() const
{
    if (cancelled)
        qDebug() << "software update cancelled";
    return cancelled;
}

void SoftwareUpdate::run(const QString &version, const QString &ossurl, const QString &md5)
{
    if (updateInProgress || cancelledNow())
        return;
    if (!isPlainVersionName(version)) {
        qDebug() << "software version error:" << version;
        notify(QStringLiteral("global"), QStringLiteral("notifyUpdateState"), UpdateSaveFailed);
        return;
    }
    QThread::msleep(1000);
    updateInProgress = true;
    if (cancelledNow())
        return;

    const QByteArray package = downloadPackage(ossurl);
    if (package.isEmpty() || cancelledNow())
        return;
    const QByteArray digest = QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex();
    if (QString::fromLatin1(digest) != md5) {
        qDebug() << "software MD5 error:" << digest;
        fail(UpdateMd5Mismatch);
        return;
    }
    qDebug() << "software download success";

    const QString packagePath = QStringLiteral("%1/../%2.zip").arg(appDir, version);
    QFile packageFile(packagePath);
    if (!packageFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug() << "software save error:"
                 << "create file failed";
        fail(UpdateSaveFailed);
        return;
    }
    qDebug() << "software save success";
    const bool written = packageFile.write(package) == package.size();
    packageFile.close();
    // A short write (a full disk) leaves no usable package either.
    if (!written) {
        qDebug() << "software save error:" << packageFile.errorString();
        fail(UpdateSaveFailed);
        return;
    }

    const bool unpacked = unpack(packagePath, QStringLiteral("%1/../%2").arg(appDir, version));
    if (cancelledNow())
        return;
    if (!unpacked) {
        qDebug() << "software unzip error:";
        fail(UpdateUnpackFailed);
        return;
    }
    qDebug() << "software unzip success";
    recordVersions(version);

    QFile::remove(packagePath);
    qDebug() << QStringLiteral("remove appPackageFilePath success:%1").arg(packagePath);
    // launcher.ini names the new version now: the next start through the launcher runs it.
    if (cancelledNow())
        return;

    const QString launcherPath = QStringLiteral("%1/../%2").arg(appDir, launcherName);
    qDebug() << QStringLiteral("launcherAmperlane:%1").arg(launcherPath);
    launchDetached(launcherPath, {});
    qDebug() << "launcherProcess.startDetached done";
    qDebug() << "start sigQuit";
    emit sigQuit();
}

QByteArray SoftwareUpdate::downloadPackage(const QString &ossurl)
{
    int lastPercent = 0;
    QString error;
    const QByteArray package =
        downloader.download(ossurl, error, [this, &lastPercent](qint64 received, qint64 total) {
            if (const auto percent = nextProgressPercent(lastPercent, received, total)) {
                notify(QStringLiteral("global"), QStringLiteral("notifyUpdateProgress"), *percent);
                qDebug() << QStringLiteral("software download percent:%1").arg(*percent);
            }
        });
    if (cancelled)
        return QByteArray();
    if (!error.isEmpty()) {
        qDebug() << "software Download error:" << error;
        fail(UpdateDownloadFailed);
    } else if (package.isEmpty()) {
        qDebug() << "software empty error:" << error;
        fail(UpdateDownloadEmpty);
    }
    return error.isEmpty() ? package : QByteArray();
}

bool SoftwareUpdate::unpack(const QString &packagePath, const QString &targetPath)
{
    UnpackOutcome outcome;
    auto *process = new QProcess(this);
    process->setProgram(QStringLiteral("%1/%2").arg(appDir, unpackerName));
    process->setWorkingDirectory(appDir + QStringLiteral("/../"));
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setArguments({QStringLiteral("x"), QStringLiteral("-y"),
                           QStringLiteral("-o%1").arg(targetPath), packagePath});

    connect(process, &QProcess::started, this, [] { qDebug() << "started"; });
    connect(process, &QProcess::errorOccurred, this, [&outcome](QProcess::ProcessError error) {
        qDebug() << "errorOccurred" << enumName(error);
        outcome.processFailed();
    });
    connect(process, &QProcess::readyReadStandardOutput, this, [process, &outcome] {
        const QByteArray bytes = process->readAll();
        qDebug() << "readyRead:" << bytes;
        if (outcome.addOutput(bytes))
            process->kill();
    });
    connect(process, &QProcess::finished, this,
            [&outcome](int exitCode, QProcess::ExitStatus status) {
                qDebug() << "finished" << exitCode << enumName(status);
                outcome.processFinished(exitCode, status);
            });

    qDebug() << "_softwareUpdate" << process->program() << process->arguments();
    process->start(QIODevice::ReadWrite);
    // An unpacker that neither finishes nor speaks within the limit has failed. The wait looks at
    // the cancel flag between short slices: nothing else of this thread runs meanwhile.
    const QDeadlineTimer deadline(unpackTimeoutMs);
    while (process->state() != QProcess::NotRunning && !cancelled && !deadline.hasExpired())
        process->waitForFinished(int(qMin<qint64>(kCancelCheckMs, deadline.remainingTime())));
    if (process->state() != QProcess::NotRunning)
        outcome.processFailed();
    process->disconnect(this);
    process->kill();
    process->deleteLater();
    return outcome.ok();
}

void SoftwareUpdate::recordVersions(const QString &version)
{
    const QString settingPath = QStringLiteral("%1/../%2").arg(appDir, "launcher.ini");
    qDebug() << QStringLiteral("settingPath:%1").arg(settingPath);

    QString previous;
    {
        QSettings launcherSettings(settingPath, QSettings::IniFormat);
        previous = launcherSettings.value(launcherVerKey).toString();
        launcherSettings.setValue(launcherVerKey, version);
        launcherSettings.setValue(lastLauncherVerKey, previous);
        launcherSettings.sync();
    }
    QThread::msleep(1000);
    qDebug() << "launcherSettings.setValue launcher_ver and last_launcher_ver";

    // Read back from the file itself, not from what this process still holds in memory.
    QSettings readBack(settingPath, QSettings::IniFormat);
    if (readBack.value(launcherVerKey).toString() != version ||
        readBack.value(lastLauncherVerKey).toString() != previous) {
        qDebug() << "read launcher_ver or last_launcher_ver error";
        qDebug() << QStringLiteral("read launcher_ver:%1").arg(version);
        qDebug() << QStringLiteral("read last_launcher_ver:%1").arg(previous);
        readBack.setValue(launcherVerKey, version);
        readBack.setValue(lastLauncherVerKey, previous);
        readBack.sync();
        QThread::msleep(1000);
        qDebug() << "retry launcherSettings.setValue launcher_ver and last_launcher_ver";
    }
    qDebug() << QStringLiteral("launcher_ver setValue success:%1").arg(version);
    qDebug() << QStringLiteral("last_launcher_ver setValue success:%1").arg(previous);
}

void SoftwareUpdate::fail(UpdateState state)
{
    notify(QStringLiteral("global"), QStringLiteral("notifyUpdateState"), state);
    updateInProgress = false;
}
