#include "systemshutdown.h"

#include "commandlauncher.h"

#include <QDebug>

ShutdownCommand systemShutdownCommand()
{
#ifdef Q_OS_WIN
    return {
        QStringLiteral("shutdown"),
        {QStringLiteral("/s"), QStringLiteral("/f"), QStringLiteral("/t"), QStringLiteral("0")}};
#else
    return {QStringLiteral("shutdown"), {QStringLiteral("-P"), QStringLiteral("now")}};
#endif
}

void shutdownSystem()
{
    const ShutdownCommand command = systemShutdownCommand();
    launchDetached(command.program, command.arguments);
    qDebug() << "shutdown";
}
