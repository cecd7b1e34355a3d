#include "tqjrpcloggerfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(LoggerFile, EveryLevelWritesOneLineAndLinesReachTheDiskAtOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("json_server_log.txt");
    TQJrpcLoggerFile logger(path);
    logger.logDebug("d");
    logger.logInfo("i ü");
    logger.logWarning("w");
    logger.logError("e");
    // Read while the logger is still alive: the server's logger is never destroyed.
    EXPECT_EQ(readAll(path), QByteArray("d\ni \xC3\xBC\nw\ne\n"));
}

TEST(LoggerFile, AStartEmptiesThePreviousRun)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    {
        TQJrpcLoggerFile(path).logInfo("old run, a long line");
    }
    {
        TQJrpcLoggerFile(path).logInfo("new");
    }
    EXPECT_EQ(readAll(path), QByteArray("new\n"));
}

TEST(LoggerFile, FileThatCannotBeOpenedLosesLinesQuietly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/log.txt");
    {
        TQJrpcLoggerFile logger(path);
        logger.logError("lost");
    }
    EXPECT_FALSE(QFile::exists(path));
}
