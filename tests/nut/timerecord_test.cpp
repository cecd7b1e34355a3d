#include "timerecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TimeRecordTest : public ::testing::Test
{
protected:
    QString userFolder() const
    {
        return QStringLiteral("%1/AmperlaneSettings/%2").arg(m_app.path(), QDir::home().dirName());
    }

    QTemporaryDir m_app;
};

TEST_F(TimeRecordTest, FolderPerSerialIsMadeAtOnceAndFileAtFirstLine)
{
    TimeRecord record("turnOffCharge.data", "SN1", m_app.path());
    EXPECT_EQ(record.filePath(), userFolder() + "/SN1/turnOffCharge.data");
    EXPECT_TRUE(QDir(userFolder() + "/SN1").exists());
    EXPECT_FALSE(QFile::exists(record.filePath()));
    EXPECT_TRUE(record.readLastLines(100).isEmpty());
    EXPECT_TRUE(record.readLastLine().isEmpty());

    record.appendLine("2024-3-7 09:05:11");
    record.appendLine("2024-3-8 10:00:00;true");
    EXPECT_EQ(record.readLastLines(100),
              QList<QString>({"2024-3-7 09:05:11", "2024-3-8 10:00:00;true"}));
    EXPECT_EQ(record.readLastLine(), "2024-3-8 10:00:00;true");
}

TEST_F(TimeRecordTest, ReadLastLinesKeepsTheNewestInFileOrder)
{
    TimeRecord record("turnOffCharge.data", "SN1", m_app.path());
    for (int i = 1; i <= 150; ++i)
        record.appendLine(QString::number(i));
    const QList<QString> lines = record.readLastLines(100);
    ASSERT_EQ(lines.size(), 100);
    EXPECT_EQ(lines.first(), "51");
    EXPECT_EQ(lines.last(), "150");
}

TEST_F(TimeRecordTest, StationsKeepSeparateHistories)
{
    TimeRecord first("turnOffCharge.data", "SN1", m_app.path());
    TimeRecord second("turnOffCharge.data", "SN2", m_app.path());
    first.appendLine("a");
    second.appendLine("b");
    EXPECT_EQ(TimeRecord("turnOffCharge.data", "SN1", m_app.path()).readLastLines(10),
              QList<QString>{"a"});
    EXPECT_EQ(second.readLastLines(10), QList<QString>{"b"});
}

TEST_F(TimeRecordTest, SerialCannotLeadOutOfTheUserFolder)
{
    for (const QString &sn : {QStringLiteral("../../evil"), QStringLiteral(".."),
                              QStringLiteral("a\\b:c"), QStringLiteral(".")}) {
        TimeRecord record("turnOffCharge.data", sn, m_app.path());
        const QString folder = QFileInfo(record.filePath()).absolutePath();
        EXPECT_EQ(QFileInfo(folder).absolutePath(), userFolder()) << sn.toStdString();
    }
    EXPECT_EQ(timeRecordFolderName("SN00001234"), "SN00001234");
    EXPECT_EQ(timeRecordFolderName("..."), "...");
}

TEST_F(TimeRecordTest, EmptySerialUsesTheUserFolder)
{
    TimeRecord record("turnOffCharge.data", "", m_app.path());
    record.appendLine("x");
    EXPECT_TRUE(QFile::exists(userFolder() + "/turnOffCharge.data"));
}

TEST_F(TimeRecordTest, UnwritableFolderReadsEmptyAndDropsLines)
{
    QFile blocker(m_app.path() + "/AmperlaneSettings");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TimeRecord record("turnOffCharge.data", "SN1", m_app.path());
    record.appendLine("lost");
    EXPECT_TRUE(record.readLastLines(10).isEmpty());
    EXPECT_TRUE(record.readLastLine().isEmpty());
}

} // namespace
