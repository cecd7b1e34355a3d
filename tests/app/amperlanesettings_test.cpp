#include "amperlanesettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

    const QJsonObject connect = settings.readConnectModeParam();
    EXPECT_EQ(connect.keys(),
              QStringList({"mode", "nutIP", "nutPassword", "nutPort", "nutUser", "upsName"}));
    EXPECT_EQ(connect.value("nutUser").toString(), "drel");
    EXPECT_EQ(connect.value("nutPassword").toString(), "480917");
}

TEST_F(SettingsTest, PartialBatterySettingWritesZeroAndFalseForTheRest)
{
    AmperlaneSettings settings(appDir.path());
    settings.writeBatterySetting(
        {{"lowPowerTipValue", 9}, {"lowPowerShutdownValue", "7"}, {"enableLowPowerShutdown", 1}});
    const QJsonObject battery = settings.readBatterySetting();
    EXPECT_EQ(battery.value("lowPowerTipValue").toInt(), 9);
    EXPECT_EQ(battery.value("lowPowerShutdownValue").toInt(), 0);
    EXPECT_EQ(battery.value("enableLowPowerShutdown"), QJsonValue(false));
    EXPECT_EQ(battery.value("enableRemoteLowPowerShutdown"), QJsonValue(false));
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

TEST_F(SettingsTest, TextInANumberReadsAsZero)
{
    {
        AmperlaneSettings settings(appDir.path());
    }
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        ini.setValue("batterySetting/lowPowerTipValue", "many");
    }
    AmperlaneSettings settings(appDir.path());
    const QJsonObject battery = settings.readBatterySetting();
    EXPECT_EQ(battery.value("lowPowerTipValue").toInt(-1), 0);
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
    const int last = settings.readBatterySetting().value("lowPowerTipValue").toInt();
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
