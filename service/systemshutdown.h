#pragma once

#include <QString>
#include <QStringList>

// The operating system's command that switches the PC off at once, closing every program.
struct ShutdownCommand
{
    QString program;
    QStringList arguments;
};

ShutdownCommand systemShutdownCommand();

// Starts the shutdown command detached through the command launcher; no result is awaited.
void shutdownSystem();
