#include "commandlauncher.h"

#include <QMutex>
#include <QMutexLocker>
#include <QProcess>

namespace {

bool startDetachedProcess(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments, QString());
}

QMutex launcherMutex;
CommandLauncher currentLauncher = startDetachedProcess;

} // namespace

bool launchDetached(const QString &program, const QStringList &arguments)
{
    CommandLauncher launcher;
    {
        QMutexLocker lock(&launcherMutex);
        launcher = currentLauncher;
    }
    return launcher(program, arguments);
}

CommandLauncher replaceCommandLauncher(CommandLauncher launcher)
{
    QMutexLocker lock(&launcherMutex);
    std::swap(currentLauncher, launcher);
    return launcher;
}
