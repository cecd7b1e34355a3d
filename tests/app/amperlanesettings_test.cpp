#include "amperlanesettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test
{
protected:
    QTemporaryDir appDir;
    QString iniPath() const
    {
        return appDir.path() + "/AmperlaneSettings/" + QDir::home().dirName() + "/settings.ini";
    }
};

} // namespace

TEST_F(SettingsTest, FirstStartWritesTheLocalAddressKeys)
{
    {
        AmperlaneSettings settings(appDir.path());
        EXPECT_EQ(settings.filePath(), iniPath());
    }
    ASSERT_TRUE(QFile::exists(iniPath()));
    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("connectModeParam/localUpsName").toString(), "nutdev1");
    EXPECT_EQ(ini.value("connectModeParam/localNutIP").toString(), "127.0.0.1");
    EXPECT_EQ(ini.value("connectModeParam/localNutPort").toString(), "3493");
    EXPECT_FALSE(ini.contains("connectModeParam/mode"));
}

TEST_F(SettingsTest, DefaultsOnAFreshFile)
{
    AmperlaneSettings settings(appDir.path());
    EXPECT_EQ(settings.localUpsAddress(), "nutdev1@127.0.0.1:3493");
    EXPECT_EQ(settings.remoteUpsAddress(), "nutdev1@127.0.0.1:3496");

    const QJsonObject battery = settings.readBatterySetting();
    EXPECT_EQ(battery.value("lowPowerTipValue").toInt(), 5);
    EXPECT_EQ(battery.value("lowPowerShutdownValue").toInt(), 4);
    EXPECT_EQ(battery.value("enableLowPowerShutdown"), QJsonValue(false));
    EXPECT_EQ(battery.value("enableRemoteLowPowerShutdown"), QJsonValue(false));
    EXPECT_EQ(battery.value("mode").toString(), "local");
    EXPECT_EQ(battery.value("defaultChargeLow").toInt(), 10);

    const QJsonObject connect = settings.readConnectModeParam();
    EXPECT_EQ(connect.keys(),
              QStringList({"mode", "nutIP", "nutPassword", "nutPort", "nutUser", "upsName"}));
    EXPECT_EQ(connect.value("nutUser").toString(), "drel");
    EXPECT_EQ(connect.value("nutPassword").toString(), "480917");
}

TEST_F(SettingsTest, PartialBatterySettingWritesZeroAndFalseForTheRest)
{
    AmperlaneSettings settings(appDir.path());
    settings.writeBatterySetting({{"defaultChargeLow", 25}});
    settings.writeBatterySetting(
        {{"lowPowerTipValue", 9}, {"lowPowerShutdownValue", "7"}, {"enableLowPowerShutdown", 1}});
    EXPECT_EQ(settings.value("batterySetting", "lowPowerShutdownValue"), QVariant(0));
    const QJsonObject battery = settings.readBatterySetting();
    EXPECT_EQ(battery.value("lowPowerTipValue").toInt(), 9);
    // A margin of 0 is out of range and reads as the default.
    EXPECT_EQ(battery.value("lowPowerShutdownValue").toInt(), 4);
    EXPECT_EQ(battery.value("enableLowPowerShutdown"), QJsonValue(false));
    EXPECT_EQ(battery.value("enableRemoteLowPowerShutdown"), QJsonValue(false));
    // Not given, so not overwritten.
    EXPECT_EQ(battery.value("defaultChargeLow").toInt(), 25);
}

TEST_F(SettingsTest, ConnectModeRoundTripAndNonStringsBecomeEmpty)
{
    AmperlaneSettings settings(appDir.path());
    settings.writeConnectModeParam(
        {{"mode", "remote"}, {"upsName", "ups2"}, {"nutIP", "10.1.2.3"}, {"nutPort", 3500}});
    const QJsonObject connect = settings.readConnectModeParam();
    EXPECT_EQ(connect.value("mode").toString(), "remote");
    EXPECT_EQ(connect.value("nutPort").toString(), "");
    EXPECT_EQ(connect.value("nutUser").toString(), "");
    EXPECT_EQ(settings.remoteUpsAddress(), "ups2@10.1.2.3:");
    EXPECT_EQ(settings.localUpsAddress(), "nutdev1@127.0.0.1:3493");
}

TEST_F(SettingsTest, StoredNonsenseReadsAsTheDefaults)
{
    const struct
    {
        const char *key;
        QVariant stored;
        int read;
    } cases[] = {
        {"lowPowerTipValue", "many", 5},  {"lowPowerTipValue", 0, 5},
        {"lowPowerTipValue", 51, 5},      {"lowPowerTipValue", 50, 50},
        {"lowPowerShutdownValue", -3, 4}, {"lowPowerShutdownValue", 1, 1},
        {"defaultChargeLow", 91, 10},     {"defaultChargeLow", "", 10},
        {"defaultChargeLow", 0, 0},       {"defaultChargeLow", 90, 90},
    };
    {
        AmperlaneSettings first(appDir.path());
    }
    for (const auto &c : cases) {
        {
            QSettings ini(iniPath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("batterySetting/") + c.key, c.stored);
        }
        AmperlaneSettings settings(appDir.path());
        EXPECT_EQ(settings.readBatterySetting().value(c.key).toInt(-1), c.read)
            << c.key << " " << c.stored.toString().toStdString();
    }
}

TEST(BatterySettingInRange, MarginsFromOneToFiftyAndTheDefaultLowFromZeroToNinety)
{
    const auto battery = [](QJsonValue tip, QJsonValue shutdown) {
        return QJsonObject{{"lowPowerTipValue", tip},
                           {"lowPowerShutdownValue", shutdown},
                           {"enableLowPowerShutdown", true}};
    };
    const auto withLow = [&](QJsonValue low) {
        QJsonObject json = battery(5, 4);
        json.insert("defaultChargeLow", low);
        return json;
    };
    EXPECT_TRUE(batterySettingInRange(battery(5, 4)));
    EXPECT_TRUE(batterySettingInRange(battery(1, 50)));
    EXPECT_TRUE(batterySettingInRange(withLow(0)));
    EXPECT_TRUE(batterySettingInRange(withLow(90)));
    for (const QJsonObject &refused :
         {battery(0, 4), battery(5, 51), battery(-1, 4), battery(5.5, 4), battery("5", 4),
          QJsonObject{{"lowPowerTipValue", 5}}, withLow(91), withLow(-1), withLow(12.5),
          withLow("10"), withLow(QJsonValue::Null)})
        EXPECT_FALSE(batterySettingInRange(refused))
            << QJsonDocument(refused).toJson().toStdString();
}

TEST_F(SettingsTest, CorruptFileGivesDefaults)
{
    QDir().mkpath(QFileInfo(iniPath()).path());
    QFile file(iniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x00\xff[[[connectModeParam\nmode\n=\n\xfe garbage", 34);
    file.close();
    AmperlaneSettings settings(appDir.path());
    EXPECT_EQ(settings.readBatterySetting().value("lowPowerTipValue").toInt(), 5);
    EXPECT_EQ(settings.localUpsAddress(), "nutdev1@127.0.0.1:3493");
}

TEST_F(SettingsTest, UnwritableFolderKeepsValuesInMemory)
{
    QFile::setPermissions(appDir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(appDir.path() + "/x").dir().mkpath("probe"))
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    AmperlaneSettings settings(appDir.path());
    settings.setValue("global", "language", "de");
    EXPECT_EQ(settings.language(), "de");
    QFile::setPermissions(appDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(LanguageFromLocaleName, TakesTheCountryField)
{
    EXPECT_EQ(languageFromLocaleName("en_US"), "us");
    EXPECT_EQ(languageFromLocaleName("de_DE"), "de");
    EXPECT_EQ(languageFromLocaleName("C"), "");
}

TEST_F(SettingsTest, ConcurrentWritersNeverLoseTheStore)
{
    AmperlaneSettings settings(appDir.path());
    auto writer = [&settings](int base) {
        for (int i = 0; i < 500; ++i) {
            settings.writeBatterySetting({{"lowPowerTipValue", base + i}});
            settings.readConnectModeParam();
        }
    };
    std::unique_ptr<QThread> a(QThread::create(writer, 0));
    std::unique_ptr<QThread> b(QThread::create(writer, 1000));
    a->start();
    b->start();
    a->wait();
    b->wait();
    const int last = settings.value("batterySetting", "lowPowerTipValue").toInt();
    EXPECT_TRUE(last == 499 || last == 1499);
}

TEST_F(SettingsTest, EveryWriteIsOnDiskWhenItReturns)
{
    AmperlaneSettings settings(appDir.path());
    settings.writeConnectModeParam({{"mode", "remote"}, {"nutIP", "192.0.2.7"}});
    settings.writeBatterySetting({{"lowPowerTipValue", 12}});
    settings.setValue("global", "language", "de");

    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("connectModeParam/mode").toString(), "remote");
    EXPECT_EQ(ini.value("connectModeParam/nutIP").toString(), "192.0.2.7");
    EXPECT_EQ(ini.value("batterySetting/lowPowerTipValue").toInt(), 12);
    EXPECT_EQ(ini.value("global/language").toString(), "de");
}

TEST_F(SettingsTest, WritesFromAnotherThreadSurviveTheOwnersEventLoop)
{
    AmperlaneSettings settings(appDir.path());
    std::unique_ptr<QThread> writer(QThread::create([&settings] {
        for (int i = 0; i < 200; ++i)
            settings.writeConnectModeParam({{"mode", "remote"},
                                            {"upsName", QStringLiteral("ups%1").arg(i)},
                                            {"nutIP", "127.0.0.1"},
                                            {"nutPort", "3496"},
                                            {"nutUser", "u"},
                                            {"nutPassword", "p"}});
    }));
    writer->start();
    while (!writer->isFinished())
        QCoreApplication::processEvents();
    writer->wait();
    QCoreApplication::processEvents();

    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("connectModeParam/upsName").toString(), "ups199");
    EXPECT_EQ(ini.value("connectModeParam/nutPassword").toString(), "p");
    EXPECT_EQ(ini.value("connectModeParam/localNutPort").toString(), "3493");
}
