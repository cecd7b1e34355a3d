#include "systemshutdown.h"

#include <QDebug>

ShutdownCommand systemShutdownCommand()
{
#ifdef Q_OS_WIN
    ShutdownCommand command{
        QStringLiteral("shutdown"),
        {QStringLiteral("/s"), QStringLiteral("/f"), QStringLiteral("/t"), QStringLiteral("0")}};
#else
    ShutdownCommand command{QStringLiteral("shutdown"),
                            {QStringLiteral("-P"), QStringLiteral("now")}};
#endif
    const QString replacement = qEnvironmentVariable("AMPERLANE_SHUTDOWN_COMMAND");
    if (!replacement.isEmpty()) {
        qDebug() << "shutdown command replaced by" << replacement;
        command.program = replacement;
    }
    return command;
}
