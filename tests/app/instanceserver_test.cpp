#include "handoffname.h"
#include "instanceserver.h"
#include "showwindowontop.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace {

// What an instance that crashed leaves behind: a socket entry nobody listens on.
void leaveStaleSocketEntry(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, qPrintable(path), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
}

bool knock(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    return socket.waitForConnected(3000);
}

} // namespace

TEST(InstanceServer, EachBareConnectionRaisesTheRunningInstance)
{
    QTemporaryDir dir;
    const QString name = dir.path() + "/Amperlane";
    QLocalServer server;
    int raised = 0;
    listenForHandOff(&server, name, [&] { ++raised; });
    ASSERT_TRUE(server.isListening());
    EXPECT_EQ(server.socketOptions(), QLocalServer::WorldAccessOption);

    ASSERT_TRUE(knock(name));
    ASSERT_TRUE(knock(name));
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 2; }, 5000));
}

TEST(InstanceServer, StaleSocketEntryIsRemovedAndListeningRetried)
{
    QTemporaryDir dir;
    const QString name = dir.path() + "/Amperlane";
    leaveStaleSocketEntry(name);
    ASSERT_FALSE(knock(name));

    QLocalServer server;
    int raised = 0;
    listenForHandOff(&server, name, [&] { ++raised; });
    ASSERT_TRUE(server.isListening());
    ASSERT_TRUE(knock(name));
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
}

// The instance lock is per user, so the hand-off is too: another user's later start must never
// reach this user's window, nor take this user's name first.
TEST(HandOffName, LiesInTheUsersRuntimeFolderOrAPrivateFolderOfTheirOwn)
{
    QTemporaryDir tmp;
    EXPECT_EQ(handOffServerNameIn("/run/user/1000", tmp.path()), "/run/user/1000/Amperlane");

    const QString own = QStringLiteral("%1/Amperlane-%2").arg(tmp.path()).arg(::getuid());
    EXPECT_EQ(handOffServerNameIn(QString(), tmp.path()), own + "/Amperlane");
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(handOffServerNameIn(QString(), tmp.path()), own + "/Amperlane");

    // A folder of that name that others could enter, or a link someone left there, is not used.
    ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0777), 0);
    EXPECT_EQ(handOffServerNameIn(QString(), tmp.path()), QString());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir(own).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere.path(), own));
    EXPECT_EQ(handOffServerNameIn(QString(), tmp.path()), QString());

    // The name works for a server and a later start.
    QTemporaryDir runtime;
    QLocalServer server;
    int raised = 0;
    listenForHandOff(&server, handOffServerNameIn(runtime.path(), tmp.path()), [&] { ++raised; });
    ASSERT_TRUE(knock(runtime.path() + "/Amperlane"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
}

TEST(ShowWindowOnTop, BringsBackAHiddenOrMinimisedWindowWithoutLeavingItOnTop)
{
    QWidget window;
    for (const auto &hide :
         {+[](QWidget *w) { w->hide(); }, +[](QWidget *w) { w->showMinimized(); }}) {
        window.show();
        hide(&window);
        showWindowOnTop(&window);
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.isMinimized());
        EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    }
}
