#pragma once

#include "amperlanewindowhost.h"

#include <QApplication>
#include <QString>

#include <memory>

class AmperlaneBridge;
class AmperlaneJrpcService;
class AmperlaneSettings;
class AmperlaneSystray;
class CustomizedWebEngineView;
class QLocalServer;
class QStackedLayout;
class QWidget;

// The application object. Its constructor builds the running program: the bookkeeping after an
// update, the settings store, the single-instance server, the frameless window with its tray icon,
// the web view with the bridge, and the JSON-RPC service and server. The destructor tears it down
// in the order the NUT processes and the monitor threads need.
class AmperlaneApp : public QApplication, public AmperlaneWindowHost
{
    Q_OBJECT

public:
    static constexpr int kWebsocketPort = 57890;

    AmperlaneApp(int &argc, char **argv);
    ~AmperlaneApp() override;

    // Brings the main window to the front with focus: the single-instance hand-off, the tray and
    // the service use it.
    void showWindowOnTop();

    void hideWindow() override;
    void minimizeWindow() override;
    void maximizeWindow() override;
    void showWebView() override;

signals:
    // Connected to the JSON-RPC server's listen with a blocking queued connection, so emitting it
    // runs the listen on the server's thread and returns its result here.
    bool listen(int port);

private:
    void _initWebHost(const QString &sessionToken);
    void _initJrpc(const QString &sessionToken);
    void setDeviceDetailPage(bool has);
    // Ends the event loop as the tray's "Quit" does: the window is shown first, so that closing it
    // ends the loop also when it was hidden.
    void quitProgram();

    std::shared_ptr<CustomizedWebEngineView> webView;
    std::shared_ptr<AmperlaneJrpcService> service;
    std::shared_ptr<AmperlaneSettings> settings;
    AmperlaneSystray *tray = nullptr;
    AmperlaneBridge *bridge = nullptr;
    QStackedLayout *layout = nullptr;
    QWidget *mainWindow = nullptr;
    QWidget *loadingWidget = nullptr;
    QLocalServer *instanceServer = nullptr;
};
