#include "nuttoolpaths.h"

NutToolPaths nutToolPaths(const QString &appDir)
{
    return {
        QStringLiteral("%1/win/x86_64-w64-mingw32-nut-server/bin/upsc.exe").arg(appDir),
        QStringLiteral("%1/win/kill_processes.bat").arg(appDir),
        QStringLiteral("%1/win/start_upsdrvctl.bat").arg(appDir),
        QStringLiteral("%1/win/start_upsd.bat").arg(appDir),
    };
}
