#include "instanceserver.h"
#include "showwindowontop.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <sys/socket.h>
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
