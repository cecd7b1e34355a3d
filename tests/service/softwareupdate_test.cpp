#include "commandlauncher.h"
#include "httpcontroller.h"
#include "localhttpserver.h"
#include "softwareupdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonValue>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Notification
{
    QString ns, name;
    QJsonValue params;
};

struct Launch
{
    QString program;
    QStringList arguments;
};

QString md5Of(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

void writeFile(const QString &path, const QByteArray &text, bool executable = false)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// An installation folder tree: <root>/launcher.ini, <root>/1.0.0.14/ (the running version, with
// its 7z), served packages, and a command launcher that only records what it is asked to start.
class SoftwareUpdateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        appDir = root.filePath("1.0.0.14");
        ASSERT_TRUE(QDir().mkpath(appDir));
        ASSERT_TRUE(QFile::link(SEVEN_ZIP_PROGRAM, appDir + "/7z"));
        previousLauncher = replaceCommandLauncher([this](const QString &p, const QStringList &a) {
            launches.push_back({p, a});
            return true;
        });
        http.setTimeoutMs(3000);
        update.setUnpackTimeoutMs(5000);
    }
    void TearDown() override { replaceCommandLauncher(previousLauncher); }

    // A zip made by 7-Zip holding one program file.
    QByteArray makePackage()
    {
        const QString content = root.filePath("content");
        QDir().mkpath(content);
        writeFile(content + "/Amperlane", "#!/bin/sh\necho new version\n", true);
        const QString zip = root.filePath("made.zip");
        QProcess zipper;
        zipper.setWorkingDirectory(content);
        zipper.start(SEVEN_ZIP_PROGRAM, {"a", "-tzip", zip, "Amperlane"});
        EXPECT_TRUE(zipper.waitForFinished(30000));
        EXPECT_EQ(zipper.exitCode(), 0) << zipper.readAll().toStdString();
        QFile file(zip);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        QFile::remove(zip);
        QDir(content).removeRecursively();
        return bytes;
    }

    void replaceUnpacker(const QByteArray &script)
    {
        QFile::remove(appDir + "/7z");
        writeFile(appDir + "/7z", script, true);
    }

    QList<int> states() const
    {
        QList<int> result;
        for (const Notification &n : notifications)
            if (n.name == "notifyUpdateState")
                result << n.params.toInt();
        return result;
    }

    QList<int> progress() const
    {
        QList<int> result;
        for (const Notification &n : notifications)
            if (n.name == "notifyUpdateProgress")
                result << n.params.toInt();
        return result;
    }

    QTemporaryDir root;
    QString appDir;
    LocalHttpServer server;
    HttpController http;
    std::vector<Notification> notifications;
    std::vector<Launch> launches;
    CommandLauncher previousLauncher;
    SoftwareUpdate update{http,
                          [this](const QString &ns, const QString &name, const QJsonValue &v) {
                              notifications.push_back({ns, name, v});
                          },
                          root.filePath("1.0.0.14")};
};

TEST_F(SoftwareUpdateTest, SuccessUnpacksRecordsVersionsStartsLauncherAndQuits)
{
    const QByteArray package = makePackage();
    server.answer("/2.0.0.zip", 200, package);
    QSignalSpy quit(&update, &SoftwareUpdate::sigQuit);

    update.run("2.0.0", server.url("/2.0.0.zip"), md5Of(package));

    EXPECT_TRUE(states().isEmpty());
    ASSERT_FALSE(progress().isEmpty());
    EXPECT_EQ(progress().last(), 100);
    for (const Notification &n : notifications)
        EXPECT_EQ(n.ns, "global");
    EXPECT_TRUE(QFile::exists(root.filePath("2.0.0/Amperlane")));
    EXPECT_FALSE(QFile::exists(root.filePath("2.0.0.zip")));

    QSettings ini(root.filePath("launcher.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("launcher_ver").toString(), "2.0.0");
    EXPECT_TRUE(ini.contains("last_launcher_ver"));
    EXPECT_EQ(ini.value("last_launcher_ver").toString(), "");

    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(QDir::cleanPath(launches[0].program), root.filePath("Amperlane"));
    EXPECT_TRUE(launches[0].arguments.isEmpty());
    EXPECT_EQ(quit.count(), 1);

    // After a success the process is on its way out: a later request does nothing at all.
    notifications.clear();
    update.run("3.0.0", server.url("/2.0.0.zip"), md5Of(package));
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(server.requestCount("/2.0.0.zip"), 1);
    EXPECT_EQ(quit.count(), 1);
}

TEST_F(SoftwareUpdateTest, PreviousLauncherVersionBecomesTheLastOne)
{
    {
        QSettings ini(root.filePath("launcher.ini"), QSettings::IniFormat);
        ini.setValue("launcher_ver", "1.0.0.14");
    }
    const QByteArray package = makePackage();
    server.answer("/p", 200, package);

    update.run("2.0.0", server.url("/p"), md5Of(package));

    QSettings ini(root.filePath("launcher.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("launcher_ver").toString(), "2.0.0");
    EXPECT_EQ(ini.value("last_launcher_ver").toString(), "1.0.0.14");
}

struct FailureCase
{
    const char *name;
    UpdateState state;
};

class SoftwareUpdateFailure : public SoftwareUpdateTest,
                              public testing::WithParamInterface<FailureCase>
{
};

// Each failure is reported once as its state, starts nothing, leaves launcher.ini alone and lets
// the next request run again from the start.
TEST_P(SoftwareUpdateFailure, ReportsItsStateAndStaysRepeatable)
{
    const QString name = GetParam().name;
    const QByteArray package = makePackage();
    QString version = "2.0.0";
    QString md5 = md5Of(package);
    server.answer("/p", 200, package);

    if (name == "http404") {
        server.answer("/p", 404, "not here");
    } else if (name == "timeout") {
        http.setTimeoutMs(300);
        server.staySilent("/p");
    } else if (name == "successEnvelope") {
        server.answer("/p", 200, R"({"code":"200","message":"ok","data":{}})");
    } else if (name == "emptyBody") {
        server.answer("/p", 200, "");
    } else if (name == "uppercaseMd5") {
        md5 = md5.toUpper();
    } else if (name == "wrongMd5") {
        md5 = md5Of("something else");
    } else if (name == "packageNotWritable") {
        ASSERT_TRUE(QDir().mkpath(root.filePath("2.0.0.zip")));
    } else if (name == "corruptArchive") {
        const QByteArray broken = "PK\x03\x04 this is no archive";
        server.answer("/p", 200, broken);
        md5 = md5Of(broken);
    } else if (name == "unpackerSaysError") {
        replaceUnpacker("#!/bin/sh\necho 'ERROR: Data Error'\nexec sleep 3\n");
    } else if (name == "unpackerFailsSilently") {
        replaceUnpacker("#!/bin/sh\nexit 2\n");
    } else if (name == "unpackerMissing") {
        QFile::remove(appDir + "/7z");
    } else if (name == "unpackerHangs") {
        update.setUnpackTimeoutMs(300);
        replaceUnpacker("#!/bin/sh\nexec sleep 10\n");
    }
    QSignalSpy quit(&update, &SoftwareUpdate::sigQuit);

    update.run(version, server.url("/p"), md5);

    EXPECT_EQ(states(), QList<int>{GetParam().state});
    EXPECT_TRUE(launches.empty());
    EXPECT_EQ(quit.count(), 0);
    EXPECT_FALSE(QFile::exists(root.filePath("launcher.ini")));

    notifications.clear();
    update.run(version, server.url("/p"), md5);
    EXPECT_EQ(states(), QList<int>{GetParam().state});
    EXPECT_EQ(server.requestCount("/p"), 2);
}

INSTANTIATE_TEST_SUITE_P(States, SoftwareUpdateFailure,
                         testing::Values(FailureCase{"http404", UpdateDownloadFailed},
                                         FailureCase{"timeout", UpdateDownloadFailed},
                                         FailureCase{"successEnvelope", UpdateDownloadEmpty},
                                         FailureCase{"emptyBody", UpdateDownloadEmpty},
                                         FailureCase{"uppercaseMd5", UpdateMd5Mismatch},
                                         FailureCase{"wrongMd5", UpdateMd5Mismatch},
                                         FailureCase{"packageNotWritable", UpdateSaveFailed},
                                         FailureCase{"corruptArchive", UpdateUnpackFailed},
                                         FailureCase{"unpackerSaysError", UpdateUnpackFailed},
                                         FailureCase{"unpackerFailsSilently", UpdateUnpackFailed},
                                         FailureCase{"unpackerMissing", UpdateUnpackFailed},
                                         FailureCase{"unpackerHangs", UpdateUnpackFailed}),
                         [](const testing::TestParamInfo<FailureCase> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(SoftwareUpdateTest, VersionThatIsNoPlainFolderNameIsRefusedBeforeDownloading)
{
    server.answer("/p", 200, "bytes");
    for (const QString version :
         {"../evil", "..", ".", "...", "2.0.", "", "a/b", "1.0 beta", "x\\y"}) {
        notifications.clear();
        update.run(version, server.url("/p"), md5Of("bytes"));
        EXPECT_EQ(states(), QList<int>{UpdateSaveFailed}) << version.toStdString();
    }
    EXPECT_EQ(server.requestCount("/p"), 0);
    EXPECT_TRUE(launches.empty());
}

TEST_F(SoftwareUpdateTest, SecondRequestDuringTheDownloadReturnsAtOnce)
{
    http.setTimeoutMs(2500);
    server.staySilent("/slow");
    bool nestedReturned = false;
    // Fires inside the download's wait (after the one-second delay), as a page request would.
    QTimer::singleShot(1500, [&] {
        update.run("2.0.0", server.url("/slow"), "x");
        nestedReturned = true;
    });

    update.run("2.0.0", server.url("/slow"), "x");

    EXPECT_TRUE(nestedReturned);
    EXPECT_EQ(server.requestCount("/slow"), 1);
    EXPECT_EQ(states(), QList<int>{UpdateDownloadFailed});
}

TEST(UpdateProgress, ReportsOnlyRisingPercentages)
{
    int last = 0;
    QList<int> sent;
    for (qint64 received : {1, 1, 2, 5, 5, 100})
        if (const auto percent = nextProgressPercent(last, received, 100))
            sent << *percent;
    EXPECT_EQ(sent, (QList<int>{1, 2, 5, 100}));

    last = 0;
    EXPECT_FALSE(nextProgressPercent(last, 500, -1));
    EXPECT_FALSE(nextProgressPercent(last, 500, 0));
    EXPECT_EQ(nextProgressPercent(last, 1, 3), 33);
    EXPECT_EQ(nextProgressPercent(last, 2, 3), 66);
}

} // namespace
