#include "launchplan.h"

#include "versionname.h"

#include <QFileInfo>
#include <QSettings>

QString programPath(const QString &topDir, const QString &version)
{
#ifdef Q_OS_WIN
    return QStringLiteral("%1/%2/Amperlane.exe").arg(topDir, version);
#else
    return QStringLiteral("%1/%2/Amperlane").arg(topDir, version);
#endif
}

LaunchPlan readLaunchPlan(const QString &topDir)
{
    QSettings ini(QStringLiteral("%1/launcher.ini").arg(topDir), QSettings::IniFormat);
    const QString current = ini.value(QStringLiteral("launcher_ver")).toString();
    const QString last = ini.value(QStringLiteral("last_launcher_ver")).toString();

    LaunchPlan plan;
    plan.updatePending = !last.isEmpty();
    for (const QString &version : {current, last}) {
        if (!isPlainVersionName(version))
            continue;
        const QString program = programPath(topDir, version);
        const QFileInfo info(program);
        if (info.isFile() && info.isExecutable() && !plan.programs.contains(program))
            plan.programs.append(program);
    }
    return plan;
}
