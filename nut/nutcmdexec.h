#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// The program's only way of running the NUT tools of the installation: the client upsc and the
// scripts that stop and start the local NUT driver and server.
class NutCmdExec
{
public:
    NutCmdExec() = delete;

    // Runs the program on the global thread pool and returns the first block of its output
    // (standard error merged in); the process is ended once that block has arrived, or after
    // 5000 ms. The caller blocks but keeps handling its thread's events meanwhile.
    static const QByteArray cmdExec(const QString &program, const QList<QString> &arguments);

    // One upsc call for "name@host:port"; an empty object when no UPS data came back.
    static QJsonObject queryUpsVariables(const QString &upsAddress);

    // Stops the local NUT processes, then starts the driver and the server. Always true.
    static bool restartNutService();
    // Starts the stop script detached; used when the program ends.
    static void killNutProcesses();
    // Switched off once by the teardown so that no late step starts NUT again.
    static void setNutRestartEnabled(bool enabled);

    // The folder the NUT tools are found under; the executable's folder unless set (tests point it
    // at a copy of the installation's NUT tools).
    static void setApplicationFolder(const QString &appDir);
    static QString applicationFolder();
};
