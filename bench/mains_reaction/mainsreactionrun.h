#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QWebSocket>

#include <memory>
#include <vector>

struct ReactionSettings
{
    QString hostProgram; // bench_jrpc_host
    QString nutLinuxDir; // the installation's Linux NUT tools (nut/linux)
    QString workDir;     // private application folder, NUT state and upsmon configuration
    int outages = 20;
};

// Times how long a mains failure takes to reach a connected page: the simulated station's .dev
// file goes from OL to OB, and the clock stops when the page receives
// homePage.notifyLastTurnOffChargeTime. NUT's own upsmon (default poll frequency, NOTIFYCMD)
// watches the same server in the same run. Nothing here can shut the machine down: upsmon
// monitors with power value 0, needs no supplies and its shutdown command is /bin/true, and the
// host replaces the program's command launcher.
class MainsReactionRun
{
public:
    explicit MainsReactionRun(ReactionSettings settings);
    ~MainsReactionRun();

    // Runs every outage; the result holds both lists of delays in milliseconds, or "error".
    QJsonObject run();

private:
    bool prepareInstallation();
    bool waitForFreeNutPort();
    bool startHost();
    bool connectPage();
    bool startUpsmon();
    bool setStatus(const QString &status);
    // Waits until the page has received `count` notifications of `method`; the arrival time of
    // the last one in realtime nanoseconds, or -1.
    qint64 waitForPageNotification(const QString &method, int count, int timeoutMs);
    // Waits until upsmon has reported `count` events of `type`; their realtime stamp, or -1.
    qint64 waitForUpsmonEvent(const QString &type, int count, int timeoutMs);
    void stopAll();

    QString stateDir() const;
    QString upsmonDir() const;

    ReactionSettings settings;
    QProcess host;
    QProcess upsmon;
    QWebSocket page;
    std::vector<std::pair<QString, qint64>> pageEvents; // method, realtime ns of arrival
    QString error;
};
