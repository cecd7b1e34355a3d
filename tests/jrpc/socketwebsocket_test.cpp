#include "jrpctestsupport.h"
#include "tqjrpcsocketwebsocket.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWebSocketServer>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

// A bare listener whose accepted sockets are wrapped like the server wraps them.
class SocketWebsocket : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&listener, &QWebSocketServer::newConnection, [this] {
            accepted.reset(new TQJrpcSocketWebsocket(listener.nextPendingConnection(), "k:9"));
        });
        outgoing.open("127.0.0.1", listener.serverPort());
        ASSERT_TRUE(outgoing.waitForConnected(5000));
        ASSERT_TRUE(waitUntil([this] { return accepted != nullptr; }));
    }

    QWebSocketServer listener{"test", QWebSocketServer::NonSecureMode};
    TQJrpcSocketWebsocket outgoing;
    std::unique_ptr<TQJrpcSocketWebsocket> accepted;
};

} // namespace

TEST_F(SocketWebsocket, TextMessagesTravelAsUtf8BytesWithTheKey)
{
    QSignalSpy atServer(accepted.get(), &TQJrpcSocketInterface::dataReceived);
    QSignalSpy atClient(&outgoing, &TQJrpcSocketInterface::dataReceived);
    EXPECT_EQ(outgoing.send("{}"), 2);
    accepted->send("{\"a\":\"\xC3\xBC\xE2\x82\xAC\"}");
    ASSERT_TRUE(waitUntil([&] { return atServer.count() == 1 && atClient.count() == 1; }));
    EXPECT_EQ(atServer.at(0).at(0).toByteArray(), QByteArray("{}"));
    EXPECT_EQ(atServer.at(0).at(1).toString(), "k:9");
    EXPECT_EQ(atClient.at(0).at(0).toByteArray(), QByteArray("{\"a\":\"\xC3\xBC\xE2\x82\xAC\"}"));
    EXPECT_EQ(atClient.at(0).at(1).toString(), ""); // an outgoing socket has no key
}

TEST_F(SocketWebsocket, WaitForConnectedWatchesOnlyForANewConnection)
{
    EXPECT_TRUE(outgoing.isConnected());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(outgoing.waitForConnected(0));
    EXPECT_FALSE(outgoing.waitForConnected(50));
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_EQ(accepted->localPort(), listener.serverPort());
    EXPECT_EQ(accepted->peerPort(), outgoing.localPort());
    EXPECT_EQ(outgoing.peerAddress(), QHostAddress(QHostAddress::LocalHost));
}

TEST_F(SocketWebsocket, PeerDropIsReportedWithTheKey)
{
    QSignalSpy gone(accepted.get(), &TQJrpcSocketInterface::socketDisconnected);
    outgoing.close();
    ASSERT_TRUE(waitUntil([&] { return gone.count() == 1; }));
    EXPECT_EQ(gone.at(0).at(0).toString(), "k:9");
    EXPECT_FALSE(outgoing.isConnected());
}

TEST_F(SocketWebsocket, ADestroyedWrapperReportsNothing)
{
    bool reported = false;
    QObject::connect(accepted.get(), &TQJrpcSocketInterface::socketDisconnected,
                     [&] { reported = true; });
    accepted.reset(); // the peer is still connected
    QSignalSpy closed(&outgoing, &TQJrpcSocketInterface::socketDisconnected);
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    EXPECT_FALSE(reported);
}
