#pragma once

#include <QString>
#include <QStringList>

// What the launcher does, read from "<topDir>/launcher.ini".
struct LaunchPlan
{
    // The programs to try in order: that of launcher_ver, then that of last_launcher_ver. A
    // version is skipped when it is not a plain folder name or its program is missing or not
    // executable.
    QStringList programs;
    // last_launcher_ver is set only between an update and the new version's first start; the old
    // version may then still be ending, and the new one must not hand itself over to it.
    bool updatePending = false;
};

// The program file inside a version folder.
QString programPath(const QString &topDir, const QString &version);

LaunchPlan readLaunchPlan(const QString &topDir);
