#include "jrpctestsupport.h"
#include "refusedsocket.h"
#include "tqjrpcendpoint.h"
#include "tqjrpcserverwebsocket.h"
#include "tqjrpcservicebase.h"

#include <QJsonDocument>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

struct Request
{
    QString requestId, method_ns, method;
    QJsonValue data;
    QString client_key;
};

// Answers "ns.m" with "x" and "ns.slow" after 300 ms; records every request it is handed.
// Lives in a worker thread like the application's service.
class TestService : public TQJrpcServiceBase
{
public:
    TestService() : TQJrpcServiceBase(QString()) {}

    QList<Request> seen() const
    {
        QMutexLocker lock(&m_mutex);
        return m_seen;
    }

protected:
    void _recvResquest(const QString &requestId, const QString &method_ns, const QString &method,
                       const QJsonValue &data, const QString &client_key) override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_seen.append({requestId, method_ns, method, data, client_key});
        }
        if (method_ns != "ns")
            return;
        if (method == "m")
            emit sendResponse(requestId, "x", client_key);
        else if (method == "slow") {
            QThread::msleep(300);
            emit sendResponse(requestId, "late", client_key);
        } else if (method == "fail")
            emit sendErrResponse(
                requestId, QJsonObject{{"error", QJsonObject{{"code", -1}, {"message", "no"}}}},
                client_key);
    }

private:
    mutable QMutex m_mutex;
    QList<Request> m_seen;
};

class Server : public ::testing::Test
{
protected:
    void SetUp() override
    {
        service.moveToThread(&worker);
        worker.start();
        server.setServices({&service}, ".");
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    }
    void TearDown() override
    {
        worker.quit();
        worker.wait();
    }

    QUrl url(const QString &query = QString()) const
    {
        QUrl u(QStringLiteral("ws://127.0.0.1:%1/").arg(server.serverPort()));
        u.setQuery(query);
        return u;
    }

    std::unique_ptr<TestClient> connectClient(const QString &query = QString(),
                                              const QByteArray &origin = QByteArray())
    {
        auto client = std::make_unique<TestClient>();
        client->connectTo(url(query), origin);
        const QString key = client->key();
        waitUntil([&] { return client->closed || server.endpoint(key) != nullptr; });
        return client;
    }

    QSharedPointer<MemoryLogger> logger{new MemoryLogger};
    TQJrpcServerWebsocket server{nullptr, logger, 0};
    QThread worker;
    TestService service;
};

const char *kRequest = R"({"jsonrpc":"2.0","method":"ns.m","params":{},"id":"7"})";

QJsonObject parsed(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

} // namespace

TEST_F(Server, AnswersARequestWithTheExactIndentedResponse)
{
    auto page = connectClient();
    page->socket->sendTextMessage(kRequest);
    ASSERT_TRUE(waitUntil([&] { return !page->received.isEmpty(); }));
    EXPECT_EQ(page->received, QStringList{"{\n"
                                          "    \"id\": \"7\",\n"
                                          "    \"jsonrpc\": \"2.0\",\n"
                                          "    \"result\": {\n"
                                          "        \"data\": \"x\"\n"
                                          "    }\n"
                                          "}\n"});
    ASSERT_EQ(service.seen().size(), 1);
    const Request r = service.seen().at(0);
    EXPECT_EQ(r.client_key, page->key());
    EXPECT_EQ(r.data, QJsonValue(QJsonObject()));
}

TEST_F(Server, UnusableIdsAreAnsweredWithAnEmptyId)
{
    auto page = connectClient();
    page->socket->sendTextMessage(R"({"jsonrpc":"2.0","method":"ns.m","id":7})");
    page->socket->sendTextMessage(R"({"jsonrpc":"2.0","method":"ns.m"})");
    ASSERT_TRUE(waitUntil([&] { return page->received.size() == 2; }));
    for (const QString &reply : page->received)
        EXPECT_EQ(parsed(reply), parsed(R"({"id":"","jsonrpc":"2.0","result":{"data":"x"}})"));
}

TEST_F(Server, ErrorResponsesCarryTheRequestId)
{
    auto page = connectClient();
    page->socket->sendTextMessage(R"({"jsonrpc":"2.0","method":"ns.fail","id":"3"})");
    ASSERT_TRUE(waitUntil([&] { return !page->received.isEmpty(); }));
    EXPECT_EQ(parsed(page->received.at(0)),
              parsed(R"({"id":"3","jsonrpc":"2.0","error":{"code":-1,"message":"no"}})"));
}

TEST_F(Server, BadInputGetsNoReplyAndTheConnectionKeepsServing)
{
    auto page = connectClient();
    auto other = connectClient();
    const QList<QByteArray> bad = {R"({"jsonrpc":"1.0","method":"ns.m","id":"1"})",
                                   R"({"jsonrpc":2.0,"method":"ns.m"})",
                                   R"({"method":"ns.m","id":"1"})",
                                   R"([{"jsonrpc":"2.0","method":"ns.m"}])",
                                   R"({"jsonrpc":"2.0","id":"1"})",
                                   R"({"jsonrpc":"2.0","method":"other.m","id":"1"})",
                                   R"({broken)"
                                   "}",
                                   "42"};
    for (const QByteArray &message : bad)
        page->socket->sendTextMessage(QString::fromUtf8(message));
    page->socket->sendBinaryMessage(kRequest);
    page->socket->sendTextMessage(kRequest);
    other->socket->sendTextMessage(kRequest);
    ASSERT_TRUE(
        waitUntil([&] { return page->received.size() == 1 && other->received.size() == 1; }));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(page->received.size(), 1); // only the last, good request

    // The endpoint reports malformed text as it arrives, the server its checks one pass later.
    QStringList expectedLog = {"JSON RPC server error: invalid protocol tag",
                               "JSON RPC server error: invalid protocol tag",
                               "JSON RPC server error: invalid protocol tag",
                               "JSON RPC server error: no method present in request",
                               "Malformed request",
                               "Malformed request"};
    QStringList log = logger->lines.filter(QRegularExpression("error|Malformed"));
    log.sort();
    expectedLog.sort();
    EXPECT_EQ(log, expectedLog);

    // Only the method-less request and the unknown one reached the service besides the good ones.
    QStringList methods;
    for (const Request &r : service.seen())
        methods << r.method_ns + "|" + r.method;
    EXPECT_EQ(methods, (QStringList{"|", "other|m", "ns|m", "ns|m"}));
}

TEST_F(Server, BroadcastsReachEveryPageResponsesOnlyTheAsker)
{
    auto first = connectClient();
    auto second = connectClient();
    QStringList keys{first->key(), second->key()};
    keys.sort();
    ASSERT_EQ(server.endpoints().size(), 2);
    EXPECT_EQ(server.endpoints(),
              (QList<TQJrpcEndpoint *>{server.endpoint(keys[0]), server.endpoint(keys[1])}));

    service.emitNotification("global", "notifyUpdateState", 3, QString());
    service.emitNotification("homePage", "onlyFirst", true, first->key());
    service.emitNotification("", "", 1, QString());         // ".": sent, the name is not empty
    emit service.sendNotification(QString(), 1, QString()); // empty name: not sent
    second->socket->sendTextMessage(kRequest);

    ASSERT_TRUE(
        waitUntil([&] { return first->received.size() == 3 && second->received.size() == 3; }));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(parsed(first->received.at(0)),
              parsed(R"({"jsonrpc":"2.0","method":"global.notifyUpdateState","params":3})"));
    EXPECT_EQ(parsed(first->received.at(1)),
              parsed(R"({"jsonrpc":"2.0","method":"homePage.onlyFirst","params":true})"));
    EXPECT_EQ(parsed(first->received.at(2))["method"].toString(), ".");
    EXPECT_EQ(first->received.size(), 3);
    EXPECT_EQ(second->received.at(0), first->received.at(0));
    EXPECT_EQ(second->received.at(1), first->received.at(2));
    EXPECT_EQ(parsed(second->received.at(2))["id"].toString(), "7");
}

TEST_F(Server, RepliesForPagesThatHaveGoneAreDroppedQuietly)
{
    auto leaving = connectClient();
    auto staying = connectClient();
    const QString key = leaving->key();
    leaving->socket->sendTextMessage(R"({"jsonrpc":"2.0","method":"ns.slow","id":"1"})");
    ASSERT_TRUE(waitUntil([&] { return !service.seen().isEmpty(); }));
    leaving->socket->close();
    ASSERT_TRUE(waitUntil([&] { return server.endpoint(key) == nullptr; }));
    service.emitNotification("ns", "gone", 1, key);

    staying->socket->sendTextMessage(kRequest);
    ASSERT_TRUE(waitUntil([&] { return staying->received.size() == 1; }));
    waitUntil([] { return false; }, 400); // the slow reply arrives meanwhile
    EXPECT_EQ(staying->received.size(), 1);
    EXPECT_TRUE(logger->lines.filter("error").isEmpty());
}

TEST_F(Server, ListenLogsThePortAlsoWhenBindingFails)
{
    const quint16 taken = server.serverPort();
    TQJrpcServerWebsocket second(nullptr, logger, 0);
    logger->lines.clear();
    EXPECT_FALSE(second.listen(taken));
    EXPECT_EQ(logger->lines,
              QStringList{QStringLiteral("JSON RPC server: listening on port %1").arg(taken)});
}

TEST_F(Server, ConnectAndDisconnectAreLoggedAndTheRegistryFollows)
{
    QSignalSpy connected(&server, &TQJrpcServerWebsocket::clientConnected);
    auto page = connectClient();
    ASSERT_EQ(connected.count(), 1);
    EXPECT_EQ(connected.at(0).at(0).toString(), page->key());
    EXPECT_TRUE(logger->lines.contains("JSON RPC server: client connected: 127.0.0.1"));
    page->socket->close();
    EXPECT_TRUE(waitUntil([&] { return server.endpoints().isEmpty(); }));
}

struct TokenCase
{
    const char *name;
    QByteArray origin; // empty: no Origin header
    QString query;
    bool served;
};

TEST_F(Server, BrowserConnectionsNeedTheSessionToken)
{
    server.setSessionToken("c0ffee00c0ffee00c0ffee00c0ffee00");
    const TokenCase cases[] = {
        {"page without token", "null", "", false},
        {"page with token", "null", "lang=us&token=c0ffee00c0ffee00c0ffee00c0ffee00", true},
        {"web site with a wrong token", "http://example.com",
         "token=c0ffee00c0ffee00c0ffee00c0ffee01", false},
        {"web site with a prefix of the token", "http://example.com", "token=c0ffee", false},
        {"local tool without origin", "", "", true},
    };
    for (const TokenCase &c : cases) {
        logger->lines.clear();
        const int before = service.seen().size();
        TestClient client;
        client.connectTo(url(c.query), c.origin);
        // A refused client's first request must never be read.
        client.socket->sendTextMessage(kRequest);
        if (c.served) {
            EXPECT_TRUE(waitUntil([&] { return client.received.size() == 1; })) << c.name;
            EXPECT_FALSE(client.closed) << c.name;
        } else {
            EXPECT_TRUE(waitUntil([&] { return client.closed; })) << c.name;
            EXPECT_EQ(client.socket->closeCode(), QWebSocketProtocol::CloseCodePolicyViolated)
                << c.name;
            EXPECT_EQ(logger->lines.filter("refused").size(), 1) << c.name;
            EXPECT_FALSE(logger->lines.join('\n').contains("c0ffee")) << c.name;
            waitUntil([] { return false; }, 100);
            EXPECT_EQ(service.seen().size(), before) << c.name;
            EXPECT_TRUE(client.received.isEmpty()) << c.name;
        }
    }
}

TEST_F(Server, WithoutATokenEveryConnectionIsServed)
{
    TestClient client;
    ASSERT_TRUE(client.connectTo(url(), "http://example.com"));
    client.socket->sendTextMessage(kRequest);
    EXPECT_TRUE(waitUntil([&] { return client.received.size() == 1; }));
}

TEST(ServerTeardown, DestroyingTheServerWithOpenPagesClosesThem)
{
    QSharedPointer<MemoryLogger> logger(new MemoryLogger);
    auto server = std::make_unique<TQJrpcServerWebsocket>(nullptr, logger, 0);
    ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0));
    TestClient page;
    ASSERT_TRUE(
        page.connectTo(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server->serverPort()))));
    ASSERT_TRUE(waitUntil([&] { return server->endpoints().size() == 1; }));
    server.reset();
    EXPECT_TRUE(waitUntil([&] { return page.closed; }));
    EXPECT_TRUE(logger->lines.filter("error").isEmpty());
}

// A peer may be gone by the time the server refuses it: such a socket never reports a disconnect,
// and must still be deleted.
TEST(RefusedSocket, IsDeletedAlsoWhenItHasAlreadyClosed)
{
    QPointer<QWebSocket> socket = new QWebSocket;
    ASSERT_EQ(socket->state(), QAbstractSocket::UnconnectedState);
    dismissRefusedSocket(socket);
    EXPECT_TRUE(waitUntil([&] { return socket.isNull(); }, 3000));
}
