// The application service behind a real WebSocket server, as a page sees it, when an update
// package arrives cut short or the page goes away while its update is still running.

#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "commandlauncher.h"
#include "localhttpserver.h"
#include "pageclient.h"
#include "silentlogger.h"
#include "softwareupdate.h"
#include "tqjrpcserverwebsocket.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using TQJrpc::TQJrpcServerWebsocket;

namespace {

QString md5Of(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// NUT points at a remote server that is not there; the command launcher only records.
class ServiceFaults : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        appDir = root.filePath("1.0.0.14");
        ASSERT_TRUE(QDir().mkpath(appDir));
        ASSERT_TRUE(QFile::link(SEVEN_ZIP_PROGRAM, appDir + "/7z"));
        previousLauncher = replaceCommandLauncher([this](const QString &, const QStringList &) {
            QMutexLocker lock(&launchMutex);
            ++launches;
            return true;
        });
        settings = std::make_shared<AmperlaneSettings>(appDir);
        settings->setValue("connectModeParam", "mode", "remote");
        settings->setValue("connectModeParam", "nutPort", "1");
        service = std::make_shared<AmperlaneJrpcService>(
            settings, [](bool) {}, nullptr, appDir);
        server.setServices({service.get()}, ".");
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    }
    void TearDown() override
    {
        service.reset();
        replaceCommandLauncher(previousLauncher);
    }

    // A zip of the new version: the program and a large file that does not compress, so a cut
    // lands in the middle of file data.
    QByteArray package()
    {
        const QString content = root.filePath("content");
        QDir().mkpath(content);
        QFile program(content + "/Amperlane");
        program.open(QIODevice::WriteOnly);
        program.write("#!/bin/sh\n");
        program.close();
        QByteArray noise(256 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char &c : noise)
            c = char(generator.bounded(256));
        QFile data(content + "/resources.bin");
        data.open(QIODevice::WriteOnly);
        data.write(noise);
        data.close();
        QProcess zipper;
        zipper.setWorkingDirectory(content);
        zipper.start(SEVEN_ZIP_PROGRAM,
                     {"a", "-tzip", root.filePath("made.zip"), "resources.bin", "Amperlane"});
        zipper.waitForFinished(30000);
        QFile zip(root.filePath("made.zip"));
        zip.open(QIODevice::ReadOnly);
        return zip.readAll();
    }

    std::unique_ptr<PageClient> page()
    {
        auto client = std::make_unique<PageClient>(server.serverPort());
        EXPECT_TRUE(client->isConnected());
        return client;
    }

    int launchCount()
    {
        QMutexLocker lock(&launchMutex);
        return launches;
    }

    QJsonObject updateParams(const QByteArray &bytes) const
    {
        return {{"version", "2.0.0"}, {"ossurl", http.url("/2.0.0.zip")}, {"md5", md5Of(bytes)}};
    }

    QTemporaryDir root;
    QString appDir;
    QMutex launchMutex;
    int launches = 0;
    CommandLauncher previousLauncher;
    LocalHttpServer http;
    std::shared_ptr<AmperlaneSettings> settings;
    std::shared_ptr<AmperlaneJrpcService> service;
    TQJrpcServerWebsocket server{nullptr, QSharedPointer<SilentLogger>::create(), 0};
};

// The server sent only part of the package (its checksum matches what came): it is not installed,
// nothing is started, and the full package installs afterwards.
TEST_F(ServiceFaults, HalfWrittenPackageIsNotInstalled)
{
    const QByteArray whole = package();
    ASSERT_GT(whole.size(), 200 * 1024);
    for (const double part : {0.5, 0.99}) {
        SCOPED_TRACE(part);
        const QByteArray cut = whole.left(int(whole.size() * part));
        http.answer("/2.0.0.zip", 200, cut);
        QSignalSpy quit(service.get(), &AmperlaneJrpcService::sigQuit);
        auto client = page();
        EXPECT_EQ(client->call("global.softwareUpdate", updateParams(cut), 20000),
                  QJsonValue(true));
        EXPECT_EQ(client->notifications("global.notifyUpdateState"),
                  QList<QJsonValue>{QJsonValue(UpdateUnpackFailed)});
        EXPECT_EQ(quit.count(), 0);
        EXPECT_EQ(launchCount(), 0);
        EXPECT_FALSE(QFile::exists(root.filePath("launcher.ini")));
    }

    http.answer("/2.0.0.zip", 200, whole);
    QSignalSpy quit(service.get(), &AmperlaneJrpcService::sigQuit);
    auto client = page();
    EXPECT_EQ(client->call("global.softwareUpdate", updateParams(whole), 20000), QJsonValue(true));
    EXPECT_EQ(quit.count(), 1);
    EXPECT_EQ(launchCount(), 1);
    QFile unpacked(root.filePath("2.0.0/resources.bin"));
    EXPECT_EQ(unpacked.size(), 256 * 1024);
}

// The page that asked for the update closes during the download: the update still completes (its
// answer is dropped quietly) and another page is served meanwhile.
TEST_F(ServiceFaults, PageLeavingDuringItsUpdateLeavesTheServiceWorking)
{
    const QByteArray whole = package();
    http.answerLate("/2.0.0.zip", 200, whole, 2000);
    QSignalSpy quit(service.get(), &AmperlaneJrpcService::sigQuit);
    auto asker = page();
    auto other = page();
    asker->send("global.softwareUpdate", updateParams(whole));
    ASSERT_TRUE(waitUntil([&] { return http.requestCount("/2.0.0.zip") == 1; }));
    asker.reset();

    EXPECT_EQ(other->call("global.getVersion"), QJsonValue("1.0.0.14"));
    ASSERT_TRUE(waitUntil([&] { return quit.count() == 1; }, 20000));
    EXPECT_EQ(launchCount(), 1);
    EXPECT_EQ(other->call("global.getVersion"), QJsonValue("1.0.0.14"));
}

} // namespace
