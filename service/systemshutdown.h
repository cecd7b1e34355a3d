#pragma once

#include <QString>
#include <QStringList>

// The operating system's command that switches the PC off at once, closing every program.
struct ShutdownCommand
{
    QString program;
    QStringList arguments;
};

// For demos and tests: when the environment names a program in AMPERLANE_SHUTDOWN_COMMAND, that
// program is started instead of the system's shutdown, with the same arguments.
ShutdownCommand systemShutdownCommand();
