#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "nutcmdexec.h"
#include "serialport.h"
#include "usbdriversetupfactory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The service in local mode over stand-in NUT tools: upsc finds no UPS, and the stop script, run
// at every NUT restart, counts the restarts.
class SimulatedStationTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        appDir = root.filePath("1.0.0.14");
        settings = std::make_shared<AmperlaneSettings>(appDir);
        nutStateDir = settings->folderPath() + "/nut";
        ASSERT_TRUE(QDir().mkpath(nutStateDir));
        const QByteArray journal = root.filePath("journal").toUtf8();
        script("linux/nut/bin/upsc", "echo upsc >> '" + journal + "'\necho 'Error: no UPS' >&2");
        script("linux/kill_processes.sh", "echo restart >> '" + journal + "'\necho done");
        script("linux/start_upsdrvctl.sh", "echo done");
        script("linux/start_upsd.sh", "echo done");
        NutCmdExec::setApplicationFolder(appDir);
    }

    void TearDown() override
    {
        service.reset();
        NutCmdExec::setApplicationFolder(QString());
    }

    void script(const QString &name, const QByteArray &body)
    {
        const QString path = appDir + "/" + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

    void startService()
    {
        service = std::make_shared<AmperlaneJrpcService>(
            settings, [](bool) {}, nullptr, appDir,
            [](const QString &, const QStringList &, const CommandDone &done) {
                done({false, "no shutdown in tests"});
            });
    }

    int journalCount(const QString &line) const
    {
        QFile file(root.filePath("journal"));
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        return QString::fromUtf8(file.readAll()).split('\n').count(line);
    }

    // Waits for `steps` NUT queries and returns the restarts seen by then.
    int restartsAfterSteps(int steps)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return journalCount("upsc") >= steps; }, 30000));
        return journalCount("restart");
    }

    QTemporaryDir root;
    QString appDir;
    QString nutStateDir;
    std::shared_ptr<AmperlaneSettings> settings;
    std::shared_ptr<AmperlaneJrpcService> service;
};

TEST_F(SimulatedStationTest, WithoutTheStationNutIsRestartedInEveryStep)
{
    bool isComposite = false;
    if (createUsbDriverSetup()->isUsbDevicePresent(isComposite))
        GTEST_SKIP() << "a station is attached to this machine";
    startService();
    // One restart as monitoring starts, then one in front of every query.
    EXPECT_GT(restartsAfterSteps(3), 3);
}

TEST_F(SimulatedStationTest, TheSimulatedStationIsServedWithoutDriverCheckAndWithItsSerialLink)
{
    QFile dev(nutStateDir + "/nutdev1.dev");
    ASSERT_TRUE(dev.open(QIODevice::WriteOnly));
    dev.close();
    const QString link = nutStateDir + "/nutdev1.tty";
    ASSERT_TRUE(QFile::link(dev.fileName(), link));

    startService();
    EXPECT_EQ(restartsAfterSteps(3), 1);
    SerialPort port;
    EXPECT_TRUE(port.availablePorts().contains(link));

    // The link comes and goes with the simulator.
    QFile::remove(link);
    EXPECT_FALSE(port.availablePorts().contains(link));
    ASSERT_TRUE(QFile::link(dev.fileName(), link));
    EXPECT_TRUE(port.availablePorts().contains(link));

    // A replaced lister (the tests' pseudo-terminals) is left as it is.
    SerialPort::setPortLister([] { return QStringList{"/dev/pts/test"}; });
    EXPECT_EQ(port.availablePorts(), QStringList{"/dev/pts/test"});
    SerialPort::setPortLister({});

    service.reset();
    EXPECT_FALSE(port.availablePorts().contains(link));
}

} // namespace
