#include "versionmigration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList g_messages;

// The log lines written while `run` runs.
QStringList logOf(const std::function<void()> &run)
{
    g_messages.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            g_messages.append(text);
        });
    run();
    qInstallMessageHandler(previous);
    return g_messages;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An installation after an update from 1.0.0.13 to 1.0.0.14: both version folders, the package
// of the new one, and launcher.ini naming the previous version.
class MigrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(top() + "/1.0.0.13/AmperlaneSettings/user/settings.ini",
                  "[global]\nlanguage=de\n");
        writeFile(top() + "/1.0.0.13/Amperlane", "old program");
        writeFile(appDir() + "/Amperlane", "new program");
        writeFile(top() + "/1.0.0.14.zip", "package");
    }

    QString top() const { return dir.path(); }
    QString appDir() const { return dir.path() + "/1.0.0.14"; }
    void setLastVersion(const QString &version)
    {
        QSettings ini(top() + "/launcher.ini", QSettings::IniFormat);
        ini.setValue("launcher_ver", "1.0.0.14");
        ini.setValue("last_launcher_ver", version);
    }
    QString lastVersion() const
    {
        return QSettings(top() + "/launcher.ini", QSettings::IniFormat)
            .value("last_launcher_ver")
            .toString();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(MigrationTest, FirstStartAfterUpdateTakesOverSettingsAndRemovesTheOldVersion)
{
    setLastVersion("1.0.0.13");
    migrateFromPreviousVersion(appDir(), "1.0.0.14");

    EXPECT_EQ(readFile(appDir() + "/AmperlaneSettings/user/settings.ini"),
              "[global]\nlanguage=de\n");
    EXPECT_EQ(lastVersion(), "");
    EXPECT_FALSE(QFile::exists(top() + "/1.0.0.13"));
    EXPECT_FALSE(QFile::exists(top() + "/1.0.0.14.zip"));
    EXPECT_EQ(QSettings(top() + "/launcher.ini", QSettings::IniFormat).value("launcher_ver"),
              "1.0.0.14");
}

TEST_F(MigrationTest, UnsafePreviousVersionsAreClearedWithoutCopyingOrRemovingAnything)
{
    writeFile(top() + "/outside/keep", "keep");
    // Another name for the running installation's folder.
    ASSERT_TRUE(QFile::link(appDir(), top() + "/alias"));
    for (const QString version : {"1.0.0.14", "alias", "..", ".", "../outside", "1.0.0.13/..",
                                  "a b", "/tmp", "1.0.0.14/", "...", "1.0.0.14."}) {
        setLastVersion(version);
        migrateFromPreviousVersion(appDir(), "1.0.0.14");

        EXPECT_EQ(lastVersion(), "") << qPrintable(version);
        EXPECT_TRUE(QFile::exists(appDir() + "/Amperlane")) << qPrintable(version);
        EXPECT_TRUE(QFile::exists(top() + "/outside/keep")) << qPrintable(version);
        EXPECT_TRUE(QFile::exists(top() + "/1.0.0.13/Amperlane")) << qPrintable(version);
        EXPECT_TRUE(QFile::exists(top() + "/1.0.0.14.zip")) << qPrintable(version);
        EXPECT_FALSE(QFile::exists(appDir() + "/AmperlaneSettings")) << qPrintable(version);
    }
}

// A copy that stops part-way (here at a file already there; a full disk or a locked file stop it
// the same way) must not cost the previous version's settings and histories.
TEST_F(MigrationTest, PreviousVersionIsKeptWhenItsSettingsAreNotAllCopied)
{
    writeFile(top() + "/1.0.0.13/AmperlaneSettings/user/selfTest.data", "2024-1-2 10:00:00;true\n");
    writeFile(appDir() + "/AmperlaneSettings/user/settings.ini", "[global]\nlanguage=us\n");
    setLastVersion("1.0.0.13");
    const QStringList log = logOf([&] { migrateFromPreviousVersion(appDir(), "1.0.0.14"); });

    EXPECT_EQ(lastVersion(), "");
    EXPECT_EQ(readFile(top() + "/1.0.0.13/AmperlaneSettings/user/settings.ini"),
              "[global]\nlanguage=de\n");
    EXPECT_EQ(readFile(top() + "/1.0.0.13/AmperlaneSettings/user/selfTest.data"),
              "2024-1-2 10:00:00;true\n");
    EXPECT_TRUE(log.join('\n').contains("Previous version kept, its settings were not all copied:"))
        << log.join('\n').toStdString();
}

TEST_F(MigrationTest, NothingHappensWithoutAPreviousVersion)
{
    migrateFromPreviousVersion(appDir(), "1.0.0.14");
    EXPECT_TRUE(QFile::exists(top() + "/1.0.0.13/Amperlane"));
    EXPECT_TRUE(QFile::exists(top() + "/1.0.0.14.zip"));
}

TEST_F(MigrationTest, PreviousVersionWithoutSettingsIsStillRemoved)
{
    ASSERT_TRUE(QDir(top() + "/1.0.0.13/AmperlaneSettings").removeRecursively());
    setLastVersion("1.0.0.13");
    migrateFromPreviousVersion(appDir(), "1.0.0.14");
    EXPECT_EQ(lastVersion(), "");
    EXPECT_FALSE(QFile::exists(top() + "/1.0.0.13"));
}

TEST(CopyDirectory, StopsAtAFileThatAlreadyExists)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/src/a/one", "1");
    writeFile(dir.path() + "/dst/a/one", "old");

    EXPECT_FALSE(copyDirectory(dir.path() + "/src", dir.path() + "/dst"));
    EXPECT_EQ(readFile(dir.path() + "/dst/a/one"), "old");
    EXPECT_FALSE(copyDirectory(dir.path() + "/missing", dir.path() + "/dst"));
}

TEST(CopyDirectory, CopiesNestedFoldersAndHiddenFiles)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/src/a/b/deep", "deep");
    writeFile(dir.path() + "/src/.hidden", "h");

    EXPECT_TRUE(copyDirectory(dir.path() + "/src", dir.path() + "/dst/new"));
    EXPECT_EQ(readFile(dir.path() + "/dst/new/a/b/deep"), "deep");
    EXPECT_EQ(readFile(dir.path() + "/dst/new/.hidden"), "h");
}

// What a NUT state folder holds besides files: its driver's socket, a FIFO, and the link a
// simulator left to a terminal that is gone.
TEST(RemoveDirectory, RemovesSocketsFifosAndDanglingLinks)
{
    QTemporaryDir dir;
    const QString victim = dir.path() + "/victim/nut/run";
    writeFile(victim + "/upsd.pid", "1");
    QLocalServer socket;
    ASSERT_TRUE(socket.listen(victim + "/dummy-ups-nutdev1"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(victim + "/fifo").constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.path() + "/gone", victim + "/nutdev1.tty"));

    EXPECT_TRUE(removeDirectory(dir.path() + "/victim"));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/victim"));
}

// The previous version's folder may itself be a link; what it points to is not the program's.
TEST(RemoveDirectory, LinkAtTheTopIsRemovedNotFollowed)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/elsewhere/precious", "keep");
    ASSERT_TRUE(QFile::link(dir.path() + "/elsewhere", dir.path() + "/1.0.0.13"));

    EXPECT_TRUE(removeDirectory(dir.path() + "/1.0.0.13"));
    EXPECT_FALSE(QFileInfo(dir.path() + "/1.0.0.13").isSymLink());
    EXPECT_EQ(readFile(dir.path() + "/elsewhere/precious"), "keep");
}

TEST(RemoveDirectory, RemovesEverythingButNeverFollowsALinkOutOfTheFolder)
{
    QTemporaryDir dir;
    writeFile(dir.path() + "/victim/a/b/file", "x");
    writeFile(dir.path() + "/victim/.hidden", "x");
    writeFile(dir.path() + "/elsewhere/precious", "keep");
    ASSERT_TRUE(QFile::link(dir.path() + "/elsewhere", dir.path() + "/victim/link"));

    EXPECT_TRUE(removeDirectory(dir.path() + "/victim"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/victim"));
    EXPECT_EQ(readFile(dir.path() + "/elsewhere/precious"), "keep");
    EXPECT_TRUE(removeDirectory(dir.path() + "/victim"));
}
