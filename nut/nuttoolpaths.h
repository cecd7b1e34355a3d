#pragma once

#include <QString>

// Where the installation keeps the NUT client and the scripts that stop and start the local NUT
// driver and server, below the application folder.
struct NutToolPaths
{
    QString upsc;
    QString killProcesses;
    QString startDriver;
    QString startServer;
};

NutToolPaths nutToolPaths(const QString &appDir);
