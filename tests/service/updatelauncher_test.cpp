#include "commandlauncher.h"
#include "httpcontroller.h"
#include "localhttpserver.h"
#include "pageclient.h"
#include "softwareupdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// An installation with the real launcher at its top: after the update, the launcher it starts
// must start the program of the version just unpacked.
TEST(UpdateThroughTheLauncher, TheLauncherStartsTheNewVersion)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString appDir = root.filePath("1.0.0.14");
    ASSERT_TRUE(QDir().mkpath(appDir));
    ASSERT_TRUE(QFile::link(SEVEN_ZIP_PROGRAM, appDir + "/7z"));
    ASSERT_TRUE(QFile::copy(LAUNCHER_PATH, root.filePath("Amperlane")));
    QSettings(root.filePath("launcher.ini"), QSettings::IniFormat)
        .setValue("launcher_ver", "1.0.0.14");

    // The new version's program only leaves a mark in its own folder.
    const QString content = root.filePath("content");
    ASSERT_TRUE(QDir().mkpath(content));
    QFile program(content + "/Amperlane");
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/started\"\n");
    program.close();
    program.setPermissions(program.permissions() | QFileDevice::ExeOwner);
    QProcess zipper;
    zipper.setWorkingDirectory(content);
    zipper.start(SEVEN_ZIP_PROGRAM, {"a", "-tzip", root.filePath("made.zip"), "Amperlane"});
    ASSERT_TRUE(zipper.waitForFinished(30000));
    QFile zip(root.filePath("made.zip"));
    ASSERT_TRUE(zip.open(QIODevice::ReadOnly));
    const QByteArray package = zip.readAll();

    LocalHttpServer server;
    server.answer("/2.0.0.zip", 200, package);
    HttpController http;
    SoftwareUpdate update(
        http, [](const QString &, const QString &, const QJsonValue &) {}, appDir);
    QSignalSpy quit(&update, &SoftwareUpdate::sigQuit);
    QStringList started;
    const CommandLauncher previous =
        replaceCommandLauncher([&](const QString &p, const QStringList &a) {
            started << p;
            return QProcess::startDetached(p, a, QString());
        });

    update.run("2.0.0", server.url("/2.0.0.zip"),
               QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());
    replaceCommandLauncher(previous);

    EXPECT_EQ(quit.count(), 1);
    ASSERT_EQ(started.size(), 1);
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(root.filePath("2.0.0/started")); }, 40000));
}

} // namespace
