#include "nutcmdexec.h"

#include "nuttoolpaths.h"
#include "upsvariables.h"
#include "waitwitheventloop.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMetaEnum>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <memory>

namespace {

constexpr int kProcessTimeoutMs = 5000;
// A process that ignored the first answer and was killed gets this long to be reaped.
constexpr int kKillTimeoutMs = 1000;
constexpr int kAfterKillMs = 500;
constexpr int kAfterDriverMs = 700;

std::atomic<bool> g_restartEnabled{true};

QMutex g_appDirMutex;
QString g_appDir;

// Runs on a pool thread: the process's signals are delivered inside the waits below.
QByteArray runProcess(const QString &program, const QList<QString> &arguments)
{
    QByteArray result;
    auto process = std::make_unique<QProcess>();
    QProcess *p = process.get();
    QObject::connect(p, &QProcess::started, [] { qDebug() << "QProcess start"; });
    QObject::connect(p, &QProcess::errorOccurred, [p](QProcess::ProcessError error) {
        qDebug() << "QProcess Error: "
                 << QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error);
        p->kill();
    });
    // The tools answer in one piece; whatever follows the first block is not wanted.
    QObject::connect(p, &QProcess::readyRead, [p, &result] {
        result = p->readAll();
        p->kill();
    });
    QObject::connect(p, &QProcess::finished,
                     [](int exitCode) { qDebug() << "QProcess finsihed" << exitCode; });

    const QFileInfo info(program);
    if (info.exists() && info.isFile())
        p->setWorkingDirectory(info.absolutePath());
    qDebug() << program << arguments;
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(program, arguments, QIODevice::ReadWrite);
    if (!p->waitForFinished(kProcessTimeoutMs) && p->state() != QProcess::NotRunning) {
        // A hung tool must not outlive its call: the pool thread has no event loop that would
        // ever delete the process object later.
        p->kill();
        p->waitForFinished(kKillTimeoutMs);
    }
    qDebug() << "QProcess output:" << result;
    // Nothing the process object still does on its way out may touch the result.
    QObject::disconnect(p, nullptr, nullptr, nullptr);
    return result;
}

} // namespace

const QByteArray NutCmdExec::cmdExec(const QString &program, const QList<QString> &arguments)
{
    QFuture<QByteArray> future =
        QtConcurrent::run(QThreadPool::globalInstance(), runProcess, program, arguments);
    QEventLoop loop;
    QFutureWatcher<QByteArray> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec();
    // The loop also ends early when the calling thread is asked to quit; the result still waits
    // for the process call, which is bounded.
    return future.result();
}

QJsonObject NutCmdExec::queryUpsVariables(const QString &upsAddress)
{
    const QString upsc = nutToolPaths(applicationFolder()).upsc;
    return parseUpsVariables(cmdExec(upsc, {upsAddress}));
}

bool NutCmdExec::restartNutService()
{
    if (!g_restartEnabled) {
        qDebug() << "Restart Nut service is disabled.";
        return true;
    }
    const NutToolPaths tools = nutToolPaths(applicationFolder());
    cmdExec(tools.killProcesses, {});
    waitWithEventLoop(kAfterKillMs);
    cmdExec(tools.startDriver, {});
    waitWithEventLoop(kAfterDriverMs);
    cmdExec(tools.startServer, {});
    return true;
}

void NutCmdExec::killNutProcesses()
{
    QProcess process;
    process.setProgram(nutToolPaths(applicationFolder()).killProcesses);
    process.startDetached();
}

void NutCmdExec::setNutRestartEnabled(bool enabled)
{
    g_restartEnabled = enabled;
}

void NutCmdExec::setApplicationFolder(const QString &appDir)
{
    QMutexLocker lock(&g_appDirMutex);
    g_appDir = appDir;
}

QString NutCmdExec::applicationFolder()
{
    QMutexLocker lock(&g_appDirMutex);
    return g_appDir.isEmpty() ? QCoreApplication::applicationDirPath() : g_appDir;
}
