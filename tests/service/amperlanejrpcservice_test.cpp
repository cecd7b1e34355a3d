#include "localhttpserver.h"
#include "pidfile.h"
#include "servicebehindserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using ServiceTest = ServiceBehindServer;

QJsonValue json(const char *text)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray("[") + text + "]"); // wraps scalars too
    return document.array().at(0);
}

struct MethodCase
{
    const char *method;
    const char *params; // JSON, or nullptr for none
    const char *result; // JSON of the "data" member
};

TEST_F(ServiceTest, MethodsAnswerWithTheirResultsWithoutAStation)
{
    const MethodCase cases[] = {
        {"global.getVersion", nullptr, R"("1.0.0.14")"},
        {"global.getVersion", "[1, 2]", R"("1.0.0.14")"},
        {"global.getSystemInfoAndVersion", nullptr,
         R"({"cpu": "", "os": 1, "version": "1.0.0.14"})"},
        {"batterySetting.getBatteryChargeLow", nullptr, "0"},
        {"global.getDeviceSn", nullptr, R"("")"},
        {"global.getShowWinUsbDriverInstallLoading", nullptr, "false"},
        {"global.getLowPowerTip", nullptr, "{}"},
        {"global.getLowPowerShutdown", nullptr, "{}"},
        {"homePage.getLast100TurnOffChargeTime", nullptr, "[]"},
        {"homePage.getLastSelfTestTime", nullptr, "{}"},
        {"homePage.selfTest", nullptr, "4"},
        {"global.openByDefaultApp", nullptr, "false"},
        {"global.websocketConnected", nullptr, "true"},
        {"global.enableNotify", R"({"pageName": "homePage"})", "true"},
        {"global.enableNotify", R"({"pageName": 7})", "true"},
        {"global.openByDefaultApp", R"({"url": 12})", "false"},
        {"global.softwareUpdate", R"({"version": 2, "ossurl": [], "md5": null})", "true"},
        {"global.disableNotify", R"({"pageName": "other"})", "true"},
        {"global.usbDriverInstall", nullptr, "true"},
        {"connectModeParam.setEnableConnectStatus", nullptr, "true"},
        {"connectModeParam.setEnableConnectStatus", R"({"enable": true})", "true"},
        {"homePage.getModeAndFirmwareVersion", nullptr, R"({"mode": "", "firmwareVersion": ""})"},
    };
    auto client = page();
    for (const MethodCase &c : cases) {
        const std::optional<QJsonValue> data =
            client->call(c.method, c.params ? json(c.params) : QJsonValue(QJsonValue::Undefined));
        ASSERT_TRUE(data.has_value()) << c.method;
        EXPECT_EQ(*data, json(c.result)) << c.method << " " << (c.params ? c.params : "");
    }
}

TEST_F(ServiceTest, SettingsRoundTrip)
{
    auto client = page();
    const QJsonObject connectMode{{"mode", "remote"},    {"upsName", "ups2"},
                                  {"nutIP", "10.0.0.9"}, {"nutPort", "3499"},
                                  {"nutUser", "me"},     {"nutPassword", "secret"}};
    EXPECT_EQ(client->call("connectModeParam.setSettings", connectMode), QJsonValue(true));
    EXPECT_EQ(client->call("connectModeParam.getSettings"), QJsonValue(connectMode));

    const QJsonObject battery{{"lowPowerTipValue", 9},
                              {"lowPowerShutdownValue", 7},
                              {"enableLowPowerShutdown", true},
                              {"enableRemoteLowPowerShutdown", false}};
    EXPECT_EQ(client->call("batterySetting.setSettingParam", battery), QJsonValue(true));
    QJsonObject expected = battery;
    expected.insert("mode", "remote");
    // A page that does not know the default low level leaves it as it is.
    expected.insert("defaultChargeLow", 10);
    EXPECT_EQ(client->call("batterySetting.getSettingParam"), QJsonValue(expected));
    QJsonObject withLow = battery;
    withLow.insert("defaultChargeLow", 0);
    EXPECT_EQ(client->call("batterySetting.setSettingParam", withLow), QJsonValue(true));
    expected.insert("defaultChargeLow", 0);
    EXPECT_EQ(client->call("batterySetting.getSettingParam"), QJsonValue(expected));
}

TEST_F(ServiceTest, UnknownMethodsGetNoReplyAndLaterRequestsStillDo)
{
    auto client = page();
    const QString unknown[] = {client->send("getVersion"), client->send("Global.getVersion"),
                               client->send("global.getversion"), client->send("global.nothing"),
                               client->send("homePage.getVersion")};
    EXPECT_EQ(client->call("global.getVersion"), QJsonValue("1.0.0.14"));
    waitUntil([] { return false; }, 300);
    for (const QString &id : unknown)
        EXPECT_FALSE(client->result(id, 0)) << id.toStdString();
    EXPECT_EQ(client->received.size(), 1);
}

TEST_F(ServiceTest, RepliesGoToTheAskingPageAndNotificationsToAll)
{
    auto first = page();
    auto second = page();
    // A version that is no folder name is refused at once with state 5, sent to every page.
    const QString id = first->send("global.softwareUpdate", QJsonObject{{"version", "../x"}});
    EXPECT_EQ(first->result(id), QJsonValue(QJsonObject{{"data", true}}));
    ASSERT_TRUE(second->nextNotification("global.notifyUpdateState", 0));
    EXPECT_EQ(first->notifications("global.notifyUpdateState"), QList<QJsonValue>{5});
    EXPECT_EQ(second->notifications("global.notifyUpdateState"), QList<QJsonValue>{5});
    waitUntil([] { return false; }, 200);
    EXPECT_FALSE(second->result(id, 0));
    EXPECT_EQ(second->received.size(), 1);
}

// The page learns whether the PC is being switched off: the command's own words when it fails,
// every page told; once started, later requests start nothing more.
TEST_F(ServiceTest, ShutdownAnswersWhetherTheCommandStartedAndTellsEveryPage)
{
    auto asking = page();
    auto other = page();
    setShutdownOutcome({false, "Access denied"});
    EXPECT_EQ(asking->call("global.shutdown"), QJsonValue(false));
    const QJsonValue failed(QJsonObject{{"ok", false}, {"reason", "Access denied"}});
    EXPECT_EQ(other->nextNotification("global.notifyShutdownResult", 0), failed);
    EXPECT_EQ(asking->notifications("global.notifyShutdownResult"), QList<QJsonValue>{failed});

    setShutdownOutcome({true, QString()});
    EXPECT_EQ(asking->call("global.shutdown"), QJsonValue(true));
    EXPECT_EQ(other->nextNotification("global.notifyShutdownResult", 1),
              QJsonValue(QJsonObject{{"ok", true}, {"reason", "started"}}));
    EXPECT_EQ(other->call("global.shutdown"), QJsonValue(true));
    EXPECT_EQ(asking->call("global.cancelLowPowerShutdown"), QJsonValue(true));

    const std::vector<Launch> started = shutdownsSoFar();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].program, "shutdown");
    EXPECT_EQ(started[0].arguments, (QStringList{"-P", "now"}));
    EXPECT_EQ(other->notifications("global.notifyShutdownResult").size(), 2);
    EXPECT_TRUE(launchesSoFar().empty());
}

TEST_F(ServiceTest, BatterySettingsOutOfRangeAreRefusedAndNothingIsStored)
{
    auto client = page();
    const QJsonObject stored{{"lowPowerTipValue", 6},
                             {"lowPowerShutdownValue", 3},
                             {"enableLowPowerShutdown", true},
                             {"enableRemoteLowPowerShutdown", true},
                             {"defaultChargeLow", 25}};
    ASSERT_EQ(client->call("batterySetting.setSettingParam", stored), QJsonValue(true));
    const std::pair<const char *, QJsonValue> refused[] = {
        {"lowPowerTipValue", 0},       {"lowPowerTipValue", 51},
        {"lowPowerShutdownValue", -4}, {"lowPowerShutdownValue", QJsonValue::Undefined},
        {"defaultChargeLow", 91},      {"defaultChargeLow", "20"},
    };
    for (const auto &[key, value] : refused) {
        QJsonObject params = stored;
        params.insert("enableLowPowerShutdown", false);
        if (value.isUndefined())
            params.remove(key);
        else
            params.insert(key, value);
        EXPECT_EQ(client->call("batterySetting.setSettingParam", params), QJsonValue(false)) << key;
    }
    QJsonObject expected = stored;
    expected.insert("mode", "remote");
    EXPECT_EQ(client->call("batterySetting.getSettingParam"), QJsonValue(expected));
}

QByteArray sevenZipPackage(const QString &workDir)
{
    QDir().mkpath(workDir + "/content");
    QFile program(workDir + "/content/Amperlane");
    program.open(QIODevice::WriteOnly);
    program.write("#!/bin/sh\n");
    program.close();
    QProcess zipper;
    zipper.setWorkingDirectory(workDir + "/content");
    zipper.start(SEVEN_ZIP_PROGRAM, {"a", "-tzip", workDir + "/made.zip", "Amperlane"});
    zipper.waitForFinished(30000);
    QFile zip(workDir + "/made.zip");
    zip.open(QIODevice::ReadOnly);
    return zip.readAll();
}

TEST_F(ServiceTest, UpdateKeepsServingRequestsDuringTheDownloadAndQuitsOnSuccess)
{
    ASSERT_TRUE(QFile::link(SEVEN_ZIP_PROGRAM, appDir + "/7z"));
    const QByteArray package = sevenZipPackage(root.filePath("work"));
    ASSERT_FALSE(package.isEmpty());
    LocalHttpServer http;
    http.answerLate("/2.0.0.zip", 200, package, 2500);
    QSignalSpy quit(service.get(), &AmperlaneJrpcService::sigQuit);
    auto client = page();

    const QString update = client->send(
        "global.softwareUpdate",
        QJsonObject{
            {"version", "2.0.0"},
            {"ossurl", http.url("/2.0.0.zip")},
            {"md5", QString(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex())}});
    // Sent once the first update waits for its download: both are answered inside that wait.
    ASSERT_TRUE(waitUntil([&] { return http.requestCount("/2.0.0.zip") == 1; }));
    const QString second =
        client->send("global.softwareUpdate", QJsonObject{{"version", "3.0.0"}, {"ossurl", "x"}});
    EXPECT_EQ(client->call("global.getVersion"), QJsonValue("1.0.0.14"));
    EXPECT_EQ(client->result(second, 100), QJsonValue(QJsonObject{{"data", true}}));
    EXPECT_FALSE(client->result(update, 0));

    EXPECT_EQ(client->result(update, 20000), QJsonValue(QJsonObject{{"data", true}}));
    EXPECT_EQ(quit.count(), 1);
    EXPECT_EQ(client->notifications("global.notifyUpdateProgress").last(), QJsonValue(100));
    EXPECT_TRUE(client->notifications("global.notifyUpdateState").isEmpty());
    EXPECT_EQ(http.requestCount("/2.0.0.zip"), 1);
    EXPECT_TRUE(QFile::exists(root.filePath("2.0.0/Amperlane")));
    EXPECT_EQ(QSettings(root.filePath("launcher.ini"), QSettings::IniFormat)
                  .value("launcher_ver")
                  .toString(),
              "2.0.0");
    const std::vector<Launch> started = launchesSoFar();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(QDir::cleanPath(started[0].program), root.filePath("Amperlane"));
}

// Whether the process runs (a zombie that has not been reaped yet does not).
bool processRuns(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    const qsizetype state = fields.lastIndexOf(')') + 2;
    return state < fields.size() && fields.at(state) != 'Z';
}

// The program quits while an update is under way. The service must not be freed while its worker
// still runs the update (an unpack may take 30 s, a download 30 minutes): the update is cancelled,
// 7-Zip killed or the download dropped, and nothing of the new version is started.
class ServiceQuit : public ServiceBehindServer, public testing::WithParamInterface<bool>
{
};

TEST_P(ServiceQuit, DuringAnUpdateCancelsItBeforeTheServiceGoes)
{
    const bool duringUnpack = GetParam();
    const QString pidFile = root.filePath("7z.pid");
    QFile::remove(pidFile);
    QFile unpacker(appDir + "/7z");
    ASSERT_TRUE(unpacker.open(QIODevice::WriteOnly | QIODevice::Truncate));
    unpacker.write("#!/bin/sh\necho $$ > '" + pidFile.toUtf8() + "'\nexec sleep 60\n");
    unpacker.close();
    unpacker.setPermissions(unpacker.permissions() | QFileDevice::ExeOwner);
    LocalHttpServer http;
    const QByteArray package = "package bytes";
    if (duringUnpack)
        http.answer("/2.0.0.zip", 200, package);
    else
        http.staySilent("/2.0.0.zip");
    auto client = page();
    client->send(
        "global.softwareUpdate",
        QJsonObject{
            {"version", "2.0.0"},
            {"ossurl", http.url("/2.0.0.zip")},
            {"md5", QString(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex())}});
    if (duringUnpack)
        ASSERT_TRUE(waitUntil([&] { return pidFromFile(pidFile) > 0; }, 20000));
    else
        ASSERT_TRUE(waitUntil([&] { return http.requestCount("/2.0.0.zip") == 1; }, 20000));
    const qint64 unpackerPid = pidFromFile(pidFile);
    const QPointer<QThread> worker = service->findChild<QThread *>();
    ASSERT_TRUE(worker);

    service.reset();

    EXPECT_TRUE(worker.isNull()) << "the worker outlived the service";
    if (duringUnpack)
        EXPECT_FALSE(processRuns(unpackerPid));
    else
        EXPECT_FALSE(QFile::exists(root.filePath("2.0.0.zip")));
    EXPECT_TRUE(launchesSoFar().empty());
    EXPECT_FALSE(QFile::exists(root.filePath("launcher.ini")));
}

INSTANTIATE_TEST_SUITE_P(Update, ServiceQuit, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "Unpacking" : "Downloading");
                         });

} // namespace
