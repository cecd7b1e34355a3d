#include "amperlaneapp.h"

#include "amperlanebridge.h"
#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "amperlanesystray.h"
#include "amperlaneversion.h"
#include "customizedwebengineview.h"
#include "handoffname.h"
#include "instanceserver.h"
#include "nutcmdexec.h"
#include "pageurl.h"
#include "portbindfailure.h"
#include "quitsignals.h"
#include "sessiontoken.h"
#include "showwindowontop.h"
#include "tqjrpcserverwebsocket.h"
#include "versionmigration.h"

#include <QDebug>
#include <QIcon>
#include <QLocalServer>
#include <QStackedLayout>
#include <QThread>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWindowWidth = 960;
constexpr int kWindowHeight = 520;

} // namespace

AmperlaneApp::AmperlaneApp(int &argc, char **argv) : QApplication(argc, argv)
{
    // Early, so that a session ending while the program starts still gets the teardown; the quit
    // runs from the event loop, once everything here exists.
    quitOnTerminationSignals([this] { quitProgram(); });
    setWindowIcon(QIcon(QStringLiteral(":/png/resource/TQlogo.png")));
    migrateFromPreviousVersion(applicationDirPath(), QString::fromLatin1(kApplicationVersion));
    qDebug() << "Current platform:" << platformName();

    settings = std::make_shared<AmperlaneSettings>(applicationDirPath());
    const QString sessionToken = makeSessionToken();
    writeSessionTokenFile(settings->folderPath(), sessionToken);

    instanceServer = new QLocalServer(this);
    listenForHandOff(instanceServer, handOffServerName(), [this] { showWindowOnTop(); });

    mainWindow = new QWidget(nullptr, Qt::FramelessWindowHint);
    mainWindow->setContextMenuPolicy(Qt::NoContextMenu);
    layout = new QStackedLayout(mainWindow);
    layout->setContentsMargins(0, 0, 0, 0);
    tray = new AmperlaneSystray(mainWindow);

    _initWebHost(sessionToken);
    _initJrpc(sessionToken);

    layout->addWidget(webView.get());
    loadingWidget = new QWidget(mainWindow);
    loadingWidget->setStyleSheet(QStringLiteral("image: url(:/png/resource/TQloading.png)"));
    layout->addWidget(loadingWidget);
    layout->setCurrentWidget(loadingWidget);

    mainWindow->setLayout(layout);
    mainWindow->setMinimumHeight(kWindowHeight);
    mainWindow->setMaximumHeight(kWindowHeight);
    mainWindow->setMinimumWidth(kWindowWidth);
    mainWindow->setMaximumWidth(kWindowWidth);
    mainWindow->setWindowTitle(QStringLiteral("Amperlane"));
    mainWindow->resize(kWindowWidth, kWindowHeight);
    mainWindow->show();
}

AmperlaneApp::~AmperlaneApp()
{
    // A monitoring step still running must not start NUT again once it has been stopped.
    NutCmdExec::setNutRestartEnabled(false);
    QThread::sleep(2);
    delete tray;
    tray = nullptr;
    NutCmdExec::killNutProcesses();

    settings.reset();
    // The server's thread runs to the end of the process and keeps routing page requests: it lets
    // go of the service before the service is freed.
    QMetaObject::invokeMethod(TQJrpc::TQJrpcServerWebsocket::instance(),
                              &TQJrpc::TQJpcServerBase::clearServices,
                              Qt::BlockingQueuedConnection);
    service.reset();
    // The page goes before the web profile, which the application object owns.
    webView.reset();
    delete mainWindow;
    mainWindow = nullptr;
}

void AmperlaneApp::_initWebHost(const QString &sessionToken)
{
    auto *profile = new QWebEngineProfile(QStringLiteral("UPS"), this);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);

    webView = std::make_shared<CustomizedWebEngineView>(profile, mainWindow);
    QWebEngineSettings *pageSettings = webView->settings();
    pageSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    pageSettings->setAttribute(QWebEngineSettings::LocalStorageEnabled, true);
    pageSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    pageSettings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    connect(webView.get(), &QWebEngineView::loadFinished, this,
            [](bool ok) { qDebug() << "QWebEngineView load url: " << ok; });

    bridge = new AmperlaneBridge(this, settings, this);
    auto *channel = new QWebChannel(this);
    channel->registerObject(QStringLiteral("amperlaneBridge"), bridge);
    webView->page()->setWebChannel(channel, 0);
    bridge->setWebsocketPort(kWebsocketPort);
    bridge->setWebsocketToken(sessionToken);

    const QString language = bridge->getLanguage();
    webView->load(pageUrl(applicationDirPath(), language));
}

void AmperlaneApp::_initJrpc(const QString &sessionToken)
{
    service = std::make_shared<AmperlaneJrpcService>(
        settings, [this](bool has) { setDeviceDetailPage(has); }, nullptr);

    auto *server = TQJrpc::TQJrpcServerWebsocket::instance();
    server->setSessionToken(sessionToken);
    server->setServices({service.get()}, QStringLiteral("."));

    connect(service.get(), &AmperlaneJrpcService::sigShowWindowOnTop, this,
            &AmperlaneApp::showWindowOnTop);
    connect(service.get(), &AmperlaneJrpcService::sigQuit, mainWindow, [this] { quitProgram(); });
    connect(this, &AmperlaneApp::listen, server,
            qOverload<quint16>(&TQJrpc::TQJrpcServerWebsocket::listen),
            Qt::BlockingQueuedConnection);

    if (emit listen(kWebsocketPort)) {
        qCritical().noquote() << tr("Amperlane is listening port %1").arg(kWebsocketPort);
        return;
    }
    qCritical() << QStringLiteral(
                       "Amperlane cannot listen port %1 \nPlease check if the port is occupied")
                       .arg(kWebsocketPort);
    qCritical() << "Can not start the Amperlane due to port bind fail";
    showPortBindFailure(*tray);
    // Nothing of the half-built program may run on: the server's and the service's threads are
    // already up, so the process ends without running any destructor.
    std::fflush(nullptr);
    std::_Exit(-1);
}

void AmperlaneApp::quitProgram()
{
    mainWindow->showNormal();
    mainWindow->close();
}

void AmperlaneApp::setDeviceDetailPage(bool has)
{
    bridge->setHasDeviceDetailPage(has);
}

void AmperlaneApp::showWindowOnTop()
{
    ::showWindowOnTop(mainWindow);
}

void AmperlaneApp::hideWindow()
{
    mainWindow->hide();
}

void AmperlaneApp::minimizeWindow()
{
    mainWindow->showMinimized();
}

void AmperlaneApp::maximizeWindow()
{
    mainWindow->showMaximized();
}

void AmperlaneApp::showWebView()
{
    layout->setCurrentWidget(webView.get());
}
