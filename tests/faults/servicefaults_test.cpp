// The application service behind a real WebSocket server, as a page sees it, when an update
// package arrives cut short or the page goes away while its update is still running.

#include "localhttpserver.h"
#include "servicebehindserver.h"
#include "softwareupdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString md5Of(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// The service behind its server, with the installation's 7-Zip for unpacking updates.
class ServiceFaults : public ServiceBehindServer
{
protected:
    void SetUp() override
    {
        ServiceBehindServer::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(QFile::link(SEVEN_ZIP_PROGRAM, appDir + "/7z"));
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

    int launchCount() { return int(launchesSoFar().size()); }

    QJsonObject updateParams(const QByteArray &bytes) const
    {
        return {{"version", "2.0.0"}, {"ossurl", http.url("/2.0.0.zip")}, {"md5", md5Of(bytes)}};
    }

    LocalHttpServer http;
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
