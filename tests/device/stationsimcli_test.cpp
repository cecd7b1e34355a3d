#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(StationSimProgram, PublishesItsDeviceAndFeedsDummyUps)
{
    QTemporaryDir dir;
    const QString scenario = dir.filePath("scenario.json");
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"serial": "SN42", "model": "M", "charge": [[0, 50], [10, 40]],
                   "onBattery": [[0, 10]], "duration": 10})");
    file.close();
    const QString dev = dir.filePath("ups.dev");
    const QString ptyFile = dir.filePath("pty.txt");
    const QString link = dir.filePath("ttyStation");

    QProcess sim;
    sim.start(QStringLiteral(STATION_SIM_PATH),
              {scenario, "--dev", dev, "--pty-file", ptyFile, "--link", link, "--speed", "5"});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(ptyFile) && QFile::exists(dev); }, 5000));
    const QString path = QString::fromUtf8(readFile(ptyFile)).trimmed();
    EXPECT_TRUE(path.startsWith("/dev/pts/")) << path.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);
    const QByteArray first = readFile(dev);
    EXPECT_TRUE(first.contains("ups.serial: SN42\n")) << first.constData();
    EXPECT_TRUE(first.contains("ups.status: OB\n"));

    // Scenario time runs five times faster: the charge falls and the file is rewritten.
    ASSERT_TRUE(QTest::qWaitFor([&] { return readFile(dev) != first; }, 4000));
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(StationSimProgram, RefusesABrokenScenario)
{
    QTemporaryDir dir;
    const QString scenario = dir.filePath("broken.json");
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"charge": 50})");
    file.close();
    QProcess sim;
    sim.start(QStringLiteral(STATION_SIM_PATH), {scenario});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_TRUE(sim.readAllStandardError().contains("serial"));
}

} // namespace
