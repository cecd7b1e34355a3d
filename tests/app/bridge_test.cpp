#include "amperlanebridge.h"
#include "amperlanesettings.h"
#include "amperlanewindowhost.h"

#include <QMetaMethod>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RecordingHost : public AmperlaneWindowHost
{
public:
    void hideWindow() override { calls << "hide"; }
    void minimizeWindow() override { calls << "minimize"; }
    void maximizeWindow() override { calls << "maximize"; }
    void showWebView() override { calls << "webView"; }
    QStringList calls;
};

class BridgeTest : public ::testing::Test
{
protected:
    QTemporaryDir appDir;
    std::shared_ptr<AmperlaneSettings> settings =
        std::make_shared<AmperlaneSettings>(appDir.path());
    RecordingHost host;
    AmperlaneBridge bridge{&host, settings, nullptr};
};

} // namespace

// The page's web channel addresses slots by their index in the meta-object, so the order is part
// of the page contract; the token slot comes after all the others.
TEST_F(BridgeTest, SlotsKeepTheirOrderWithTheTokenLast)
{
    const QMetaObject *meta = bridge.metaObject();
    QStringList names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        if (meta->method(i).methodType() == QMetaMethod::Slot)
            names << QString::fromLatin1(meta->method(i).methodSignature());
    }
    EXPECT_EQ(names, QStringList({"close()", "minimize()", "maximize()", "getLanguage()",
                                  "hasDeviceDetailPage()", "getWebsocketPort()",
                                  "setLanguage(QString)", "connectMode()", "addLog(QString)",
                                  "pageReady()", "getWebsocketToken()"}));
}

TEST_F(BridgeTest, WindowCommandsReachTheWindowAndPageReadyTwiceChangesNothingMore)
{
    bridge.close();
    bridge.minimize();
    bridge.maximize();
    bridge.pageReady();
    bridge.pageReady();
    EXPECT_EQ(host.calls, QStringList({"hide", "minimize", "maximize", "webView", "webView"}));
}

TEST_F(BridgeTest, LanguageComesFromTheSettingsOrTheSystemLocaleAndIsStored)
{
    EXPECT_EQ(bridge.getLanguage(), languageFromLocaleName(QLocale::system().name()));
    bridge.setLanguage("fr");
    EXPECT_EQ(bridge.getLanguage(), "fr");
    EXPECT_EQ(settings->value("global", "language").toString(), "fr");
}

TEST_F(BridgeTest, ConnectModeDefaultsToLocal)
{
    EXPECT_EQ(bridge.connectMode(), "local");
    settings->setValue("connectModeParam", "mode", "remote");
    EXPECT_EQ(bridge.connectMode(), "remote");
}

TEST_F(BridgeTest, ValuesSetByTheApplication)
{
    EXPECT_EQ(bridge.getWebsocketPort(), 0);
    EXPECT_FALSE(bridge.hasDeviceDetailPage());
    EXPECT_EQ(bridge.getWebsocketToken(), "");

    bridge.setWebsocketPort(57890);
    bridge.setHasDeviceDetailPage(true);
    bridge.setWebsocketToken("00ff");
    EXPECT_EQ(bridge.getWebsocketPort(), 57890);
    EXPECT_TRUE(bridge.hasDeviceDetailPage());
    EXPECT_EQ(bridge.getWebsocketToken(), "00ff");
    bridge.setHasDeviceDetailPage(false);
    EXPECT_FALSE(bridge.hasDeviceDetailPage());
}

TEST_F(BridgeTest, AddLogWritesAQuotedDebugLine)
{
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtDebugMsg)
                logged << message;
        });
    bridge.addLog("page says hi");
    qInstallMessageHandler(previous);
    EXPECT_EQ(logged, QStringList({"\"page says hi\""}));
}
