#include "pageurl.h"
#include "portbindfailure.h"
#include "sessiontoken.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(SessionToken, Is128RandomBitsInHex)
{
    const QString first = makeSessionToken();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(first).hasMatch()) << qPrintable(first);
    EXPECT_NE(first, makeSessionToken());
}

TEST(SessionToken, FileIsReadableByTheOwnerOnlyAlsoWhenAnOldOneWasOpen)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/websocket.token";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older and longer token");
        old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    }
    ASSERT_TRUE(writeSessionTokenFile(dir.path(), "0123abcd"));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "0123abcd");
    EXPECT_EQ(file.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
}

TEST(SessionToken, ALinkInThePlaceOfTheFileIsReplacedNotFollowed)
{
    QTemporaryDir dir;
    const QString elsewhere = dir.path() + "/elsewhere";
    {
        QFile other(elsewhere);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("someone else's");
    }
    ASSERT_TRUE(QFile::link(elsewhere, dir.path() + "/websocket.token"));
    ASSERT_TRUE(writeSessionTokenFile(dir.path(), "0123abcd"));

    const QFileInfo token(dir.path() + "/websocket.token");
    EXPECT_FALSE(token.isSymLink());
    QFile other(elsewhere);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), "someone else's");
}

TEST(SessionToken, AFailedWriteIsLogged)
{
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
    QTemporaryDir dir;
    EXPECT_FALSE(writeSessionTokenFile(dir.path() + "/missing", "0123abcd"));
    qInstallMessageHandler(previous);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains("session token")) << qPrintable(messages.first());
    EXPECT_TRUE(messages.first().contains(dir.path() + "/missing/websocket.token"));
}

TEST(PageUrl, LocalFileWithTheLanguageInTheFragment)
{
    const QUrl url = pageUrl("/opt/Amperlane/1.0.0.14", "us");
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), "/opt/Amperlane/1.0.0.14/build/index.html");
    EXPECT_TRUE(url.toString().endsWith("#/us/connect-mode?lang=us")) << qPrintable(url.toString());

    const QUrl spaced = pageUrl("/home/a user/Amperlane 1/1.0.0.14", "de");
    EXPECT_EQ(spaced.toLocalFile(), "/home/a user/Amperlane 1/1.0.0.14/build/index.html");
    EXPECT_EQ(spaced.fragment(), "/us/connect-mode?lang=de");
}

TEST(PortBindFailure, CriticalBoxWithOneOkButton)
{
    const auto box = makePortBindFailureBox();
    EXPECT_EQ(box->windowTitle(), "error");
    EXPECT_EQ(box->text(), "Can not start the Amperlane due to port bind fail");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
}

TEST(PortBindFailure, TheTrayIconGoesBeforeTheProcessEnds)
{
    QSystemTrayIcon tray(QIcon(":/no-such-icon"));
    tray.show();
    ASSERT_TRUE(tray.isVisible());
    showPortBindFailure(tray);
    EXPECT_FALSE(tray.isVisible());
}
