#include "jrpctestsupport.h"
#include "tqjrpcserverwebsocket.h"
#include "websocketdebughelper.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

struct Viewer
{
    QTcpSocket socket;
    QByteArray seen;

    explicit Viewer(const QHostAddress &host, quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { seen += socket.readAll(); });
        socket.connectToHost(host, port);
    }
    bool connected()
    {
        return waitUntil([this] {
                   return socket.state() == QAbstractSocket::ConnectedState ||
                          socket.state() == QAbstractSocket::UnconnectedState;
               }) &&
               socket.state() == QAbstractSocket::ConnectedState;
    }
};

class DebugMirror : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        ASSERT_NE(server.debugMirror()->serverPort(), 0);
    }

    std::unique_ptr<Viewer> viewer()
    {
        auto v = std::make_unique<Viewer>(QHostAddress(QHostAddress::LocalHost),
                                          server.debugMirror()->serverPort());
        EXPECT_TRUE(v->connected());
        // The mirror learns of the viewer in its own pass of the event loop.
        waitUntil([] { return false; }, 50);
        return v;
    }

    std::unique_ptr<TestClient> page(const QByteArray &origin = QByteArray())
    {
        auto p = std::make_unique<TestClient>();
        p->connectTo(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.serverPort())), origin);
        return p;
    }

    QSharedPointer<MemoryLogger> logger{new MemoryLogger};
    TQJrpcServerWebsocket server{nullptr, logger, 0};
};

const QString kStamp = QStringLiteral(R"(\n\[\d\d:\d\d:\d\d\. \d\d\d\] )");

} // namespace

TEST_F(DebugMirror, TwoViewersSeeIdenticalTimeStampedLines)
{
    auto first = viewer();
    auto second = viewer();
    auto p = page();
    const QString label = p->key();
    p->socket->sendTextMessage("{\"a\":\n1}\n");
    p->socket->close();
    const QRegularExpression expected(
        QStringLiteral("^%1<%2> Client Connected%1<%2> Received:\n\\{\"a\":\n1\\}\n%1<%2> Client "
                       "disconnected$")
            .arg(kStamp, QRegularExpression::escape(label)));
    ASSERT_TRUE(waitUntil([&] {
        return expected.match(QString::fromUtf8(first->seen)).hasMatch();
    })) << first->seen.toStdString();
    EXPECT_TRUE(waitUntil([&] { return second->seen == first->seen; }))
        << second->seen.toStdString();
}

TEST_F(DebugMirror, LateViewersSeeNoHistoryAndGoneViewersAreForgotten)
{
    auto leaving = viewer();
    auto p = page();
    ASSERT_TRUE(waitUntil([&] { return leaving->seen.contains("Client Connected"); }));
    leaving->socket.disconnectFromHost();
    waitUntil([] { return false; }, 50);

    auto late = viewer();
    p->socket->sendTextMessage("{}");
    ASSERT_TRUE(waitUntil([&] { return late->seen.contains("Received:"); }));
    EXPECT_FALSE(late->seen.contains("Client Connected"));
    EXPECT_FALSE(leaving->seen.contains("Received:"));
}

TEST_F(DebugMirror, RefusedPagesAreNotMirrored)
{
    server.setSessionToken("t0k3n");
    auto v = viewer();
    auto refused = page("null");
    refused->socket->sendTextMessage("{\"secret\":1}");
    waitUntil([&] { return refused->closed; });
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(v->seen.isEmpty()) << v->seen.toStdString();
}

TEST_F(DebugMirror, ListensOnTheLoopbackInterfaceOnly)
{
    EXPECT_EQ(server.debugMirror()->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    // An all-interfaces listener would also answer on the IPv6 loopback.
    Viewer v6(QHostAddress(QHostAddress::LocalHostIPv6), server.debugMirror()->serverPort());
    EXPECT_FALSE(v6.connected());
}

TEST_F(DebugMirror, WithoutViewersNothingIsWrittenAndThePageIsServed)
{
    auto p = page();
    p->socket->sendTextMessage("{}");
    p->socket->close();
    EXPECT_TRUE(waitUntil([&] { return server.endpoints().isEmpty(); }));
}
