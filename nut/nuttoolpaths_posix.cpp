#include "nuttoolpaths.h"

NutToolPaths nutToolPaths(const QString &appDir)
{
    return {
        QStringLiteral("%1/linux/nut/bin/upsc").arg(appDir),
        QStringLiteral("%1/linux/kill_processes.sh").arg(appDir),
        QStringLiteral("%1/linux/start_upsdrvctl.sh").arg(appDir),
        QStringLiteral("%1/linux/start_upsd.sh").arg(appDir),
    };
}
