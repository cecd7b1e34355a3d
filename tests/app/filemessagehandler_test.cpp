#include "filemessagehandler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QDateTime kNoon(QDate(2026, 3, 14), QTime(13, 5, 9));

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(LogLine, EachLevelHasItsTagAndUnknownTypesWriteNothing)
{
    const struct
    {
        QtMsgType type;
        const char *line;
    } cases[] = {
        {QtDebugMsg, "2026-03-14 13:05:09 [DEBUG] hello"},
        {QtWarningMsg, "2026-03-14 13:05:09 [WARNING] hello"},
        {QtCriticalMsg, "2026-03-14 13:05:09 [CRITICAL] hello"},
        {QtFatalMsg, "2026-03-14 13:05:09 [FATAL] hello"},
        {QtInfoMsg, "2026-03-14 13:05:09 [INFO] hello"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatLogLine(c.type, kNoon, "hello"), QString(c.line)) << c.line;
    EXPECT_FALSE(formatLogLine(static_cast<QtMsgType>(42), kNoon, "hello").has_value());
}

TEST(LogFile, OneFilePerDayLinesAppendedAndMultiLineMessagesKeptAsIs)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/log";
    appendLogLine(folder, QtDebugMsg, kNoon, "first");
    appendLogLine(folder, QtWarningMsg, kNoon.addSecs(60), "two\nlines");
    appendLogLine(folder, static_cast<QtMsgType>(42), kNoon, "dropped");
    const QDateTime afterMidnight(QDate(2026, 3, 15), QTime(0, 0, 1));
    appendLogLine(folder, QtInfoMsg, afterMidnight, "next day");

    EXPECT_EQ(readAll(folder + "/2026-03-14.log"), "2026-03-14 13:05:09 [DEBUG] first\n"
                                                   "2026-03-14 13:06:09 [WARNING] two\nlines\n");
    EXPECT_EQ(readAll(folder + "/2026-03-15.log"), "2026-03-15 00:00:01 [INFO] next day\n");
}

TEST(LogFile, DeletedFolderIsRecreatedAndUnwritableFolderLosesTheMessage)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/log";
    appendLogLine(folder, QtDebugMsg, kNoon, "before");
    ASSERT_TRUE(QDir(folder).removeRecursively());
    appendLogLine(folder, QtDebugMsg, kNoon, "after");
    EXPECT_EQ(readAll(folder + "/2026-03-14.log"), "2026-03-14 13:05:09 [DEBUG] after\n");

    // A plain file where the folder should be: nothing can be created below it.
    const QString blocked = dir.path() + "/blocked";
    touch(blocked);
    appendLogLine(blocked + "/log", QtDebugMsg, kNoon, "lost");
    EXPECT_FALSE(QFile::exists(blocked + "/log/2026-03-14.log"));
}

TEST(LogCleanup, RemovesOnlyDailyFilesOlderThanThirtyDays)
{
    QTemporaryDir dir;
    const QDate today(2026, 3, 14);
    const QStringList kept = {"2026-03-14.log", "2026-02-12.log", "json_server_log.txt",
                              "notes.log", "2025-13-40.log"};
    const QStringList removed = {"2026-02-11.log", "2025-03-14.log"};
    for (const QString &name : kept + removed)
        touch(dir.path() + "/" + name);

    removeExpiredLogFiles(dir.path(), today);

    for (const QString &name : kept)
        EXPECT_TRUE(QFile::exists(dir.path() + "/" + name)) << qPrintable(name);
    for (const QString &name : removed)
        EXPECT_FALSE(QFile::exists(dir.path() + "/" + name)) << qPrintable(name);
}
