#pragma once

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

// A temporary application folder holding a copy of the installation's Linux NUT tools and a
// simulated station (dummy-ups reading a .dev file), so the program's own scripts run a real NUT
// server on 127.0.0.1. Another port than 3493 (set as the local port of the installation's
// settings) makes a stand-in for a remote server.
class NutInstallation
{
public:
    explicit NutInstallation(int port = 3493);
    ~NutInstallation();

    QString appDir() const { return m_app.path(); }
    QString stateDir() const;
    QString upsAddress() const;

    // The station's variables as the driver serves them (battery.charge.low 10, model
    // "TQ-UPS-VESSA 5 Core", serial SN00001234, online) with `changes` applied.
    static QJsonObject station(const QJsonObject &changes = {});
    bool setVariables(const QJsonObject &variables);

    // Other engineers' tests on this machine use the same fixed ports; waits (bounded) until no one
    // listens on this installation's port. True when it is free.
    bool waitForFreePort(int timeoutMs = 90000) const;

    // The installation's own scripts: start the driver and server, stop both.
    void start();
    void stop();
    void startServer();
    bool killServer();
    qint64 serverPid() const;
    qint64 driverPid() const;
    // Processes running with this installation's NUT configuration.
    int runningProcesses() const;

    // Reads the variables through the installation's upsc until `key` has `value`.
    bool waitFor(const QString &key, const QString &value, int timeoutMs = 20000) const;
    // NUT's own output, for failure messages (another upsd holding the port shows here).
    std::string log() const;

private:
    void runScript(const QString &name) const;

    QTemporaryDir m_app;
    int m_port;
};
