#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class AmperlaneSettings;
class AmperlaneWindowHost;

// The object the page reaches through the web channel as "amperlaneBridge": start-up values
// (language, connection mode, the JSON-RPC port and session token), window commands, a way into
// the program's log, and the page's report that it has loaded.
class AmperlaneBridge : public QObject
{
    Q_OBJECT

public:
    AmperlaneBridge(AmperlaneWindowHost *app, std::shared_ptr<AmperlaneSettings> settings,
                    QObject *parent);

    void setWebsocketPort(int port) { m_websocketPort = port; }
    // Called from the NUT monitor thread.
    void setHasDeviceDetailPage(bool has) { m_hasDeviceDetailPage = has; }
    void setWebsocketToken(const QString &token) { m_websocketToken = token; }

    // The page calls these through the web channel; their order is the order of the meta-object's
    // method table, which the page relies on.
public slots:
    void close();
    void minimize();
    void maximize();
    QString getLanguage();
    bool hasDeviceDetailPage();
    int getWebsocketPort();
    void setLanguage(QString language);
    QString connectMode();
    void addLog(QString log);
    void pageReady();
    QString getWebsocketToken();

private:
    AmperlaneWindowHost *m_app;
    int m_websocketPort = 0;
    std::atomic<bool> m_hasDeviceDetailPage{false};
    std::shared_ptr<AmperlaneSettings> m_settings;
    QString m_websocketToken;
};
