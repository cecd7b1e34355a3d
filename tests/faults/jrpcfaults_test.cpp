// The JSON-RPC server in a thread of its own, as in the program, with a service that streams
// notifications from its worker thread: connection churn and hostile clients must neither crash it
// nor stop it serving well-behaved pages.

#include "tqjrpcloggerbase.h"
#include "tqjrpcserverwebsocket.h"
#include "tqjrpcservicebase.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWebSocket>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using namespace TQJrpc;

namespace {

bool waitUntil(const std::function<bool()> &done, int ms = 10000)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// The protocol log, written from the server thread and read by the test.
class SharedLogger : public TQJrpcLoggerBase
{
public:
    void logDebug(const QString &text) override { add(text); }
    void logInfo(const QString &text) override { add(text); }
    void logWarning(const QString &text) override { add(text); }
    void logError(const QString &text) override { add(text); }

    int count(const QString &text) const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_lines.count(text));
    }

private:
    void add(const QString &text)
    {
        QMutexLocker lock(&m_mutex);
        m_lines << text;
    }
    mutable QMutex m_mutex;
    QStringList m_lines;
};

// Answers "ns.echo" with the size of its params text and sends "ns.tick" to every page every few
// milliseconds once started.
class StreamingService : public TQJrpcServiceBase
{
public:
    StreamingService() : TQJrpcServiceBase(QString())
    {
        m_ticks.setInterval(3);
        connect(&m_ticks, &QTimer::timeout, this, [this] {
            emitNotification("ns", "tick", QJsonObject{{"n", ++m_count}});
        });
    }
    void startTicking() { m_ticks.start(); }

protected:
    void _recvResquest(const QString &requestId, const QString &method_ns, const QString &method,
                       const QJsonValue &data, const QString &client_key) override
    {
        if (method_ns == "ns" && method == "echo") {
            const auto size = QJsonDocument(data.toObject()).toJson(QJsonDocument::Compact).size();
            emit sendResponse(requestId, double(size), client_key);
        }
    }

private:
    QTimer m_ticks{this};
    int m_count = 0;
};

// A page that keeps what it receives.
struct Page
{
    explicit Page(quint16 port)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
            if (object.contains("result"))
                results[object.value("id").toString()] =
                    object.value("result").toObject().value("data");
            else
                ++notifications;
        });
        socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    }

    bool waitConnected()
    {
        return waitUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }

    // Sends ns.echo and waits for its answer.
    std::optional<QJsonValue> echo(const QString &id, int ms = 10000)
    {
        socket.sendTextMessage(
            QStringLiteral(R"({"jsonrpc":"2.0","method":"ns.echo","id":"%1","params":{"a":1}})")
                .arg(id));
        if (!waitUntil([&] { return results.contains(id); }, ms))
            return std::nullopt;
        return results.value(id);
    }

    QWebSocket socket;
    QMap<QString, QJsonValue> results;
    int notifications = 0;
};

class JrpcFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_service.moveToThread(&m_worker);
        m_worker.start();
        m_server = new TQJrpcServerWebsocket(nullptr, m_logger, 0);
        m_server->setServices({&m_service}, ".");
        m_server->moveToThread(&m_serverThread);
        m_serverThread.start();
        bool listening = false;
        QMetaObject::invokeMethod(
            m_server, [this] { return m_server->listen(QHostAddress::LocalHost, 0); },
            Qt::BlockingQueuedConnection, &listening);
        ASSERT_TRUE(listening);
        QMetaObject::invokeMethod(
            &m_service, [this] { m_service.startTicking(); }, Qt::BlockingQueuedConnection);
    }

    void TearDown() override
    {
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_serverThread.quit();
        m_serverThread.wait();
        m_worker.quit();
        m_worker.wait();
    }

    quint16 port() const
    {
        quint16 p = 0;
        QMetaObject::invokeMethod(
            m_server, [this] { return m_server->serverPort(); }, Qt::BlockingQueuedConnection, &p);
        return p;
    }

    int endpointCount() const
    {
        int n = 0;
        QMetaObject::invokeMethod(
            m_server, [this] { return int(m_server->endpoints().size()); },
            Qt::BlockingQueuedConnection, &n);
        return n;
    }

    // A fresh page is still served: answered and reached by notifications.
    void expectServing(const QString &id)
    {
        Page page(port());
        ASSERT_TRUE(page.waitConnected());
        EXPECT_TRUE(page.echo(id).has_value()) << id.toStdString();
        EXPECT_TRUE(waitUntil([&] { return page.notifications > 0; }));
    }

    QSharedPointer<SharedLogger> m_logger{new SharedLogger};
    StreamingService m_service;
    QThread m_worker;
    QThread m_serverThread;
    TQJrpcServerWebsocket *m_server = nullptr;
};

TEST_F(JrpcFaults, TwoHundredPagesComeAndGoWhileNotificationsStream)
{
    std::vector<std::unique_ptr<Page>> open;
    for (int i = 0; i < 200; ++i) {
        auto page = std::make_unique<Page>(port());
        ASSERT_TRUE(page->waitConnected()) << i;
        // Some leave with a request still unanswered, some without a word; half close cleanly.
        if (i % 3 == 0)
            page->socket.sendTextMessage(
                QStringLiteral(R"({"jsonrpc":"2.0","method":"ns.echo","id":"%1","params":{}})")
                    .arg(i));
        open.push_back(std::move(page));
        if (open.size() > 8) {
            if (i % 2)
                open.front()->socket.close();
            else
                open.front()->socket.abort();
            open.erase(open.begin());
        }
    }
    open.clear();

    EXPECT_TRUE(waitUntil([this] { return endpointCount() == 0; }, 20000)) << endpointCount();
    expectServing("after-churn");
}

// Raw WebSocket frames for what a well-behaved client library never sends.
QByteArray maskedFrame(quint8 opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(0x80 | opcode));
    frame.append(char(0x80 | payload.size())); // small payloads only
    const QByteArray mask("\x12\x34\x56\x78", 4);
    frame.append(mask);
    for (int i = 0; i < payload.size(); ++i)
        frame.append(char(payload[i] ^ mask[i % 4]));
    return frame;
}

// A raw WebSocket connection past its opening handshake.
bool openRaw(QTcpSocket &raw, quint16 port)
{
    raw.connectToHost(QHostAddress::LocalHost, port);
    if (!raw.waitForConnected(5000))
        return false;
    raw.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QByteArray answer;
    return waitUntil([&] {
               answer += raw.readAll();
               return answer.contains("\r\n\r\n");
           }) &&
           answer.startsWith("HTTP/1.1 101");
}

// Waits until the server has closed the connection; what it sent before, or nothing when it did
// not close.
std::optional<QByteArray> closedByServer(QTcpSocket &raw)
{
    QByteArray sent;
    const bool closed = waitUntil([&] {
        sent += raw.readAll();
        return raw.state() != QAbstractSocket::ConnectedState;
    });
    return closed ? std::optional<QByteArray>(sent + raw.readAll()) : std::nullopt;
}

TEST_F(JrpcFaults, InvalidUtf8TextFrameEndsOnlyThatConnection)
{
    QTcpSocket raw;
    ASSERT_TRUE(openRaw(raw, port()));
    raw.write(maskedFrame(0x1, QByteArray("{\"a\":\"\xff\xfe\xc3\x28\"}")));
    EXPECT_TRUE(closedByServer(raw).has_value());
    expectServing("after-bad-utf8");
}

// A page's message is a request of a few hundred bytes. One past 1 MiB ends its connection with
// "too much data" before the server has gathered it, whether it comes as one frame or many;
// one just below is answered; nesting deeper than any parser should follow is dropped.
TEST_F(JrpcFaults, HugeAndDeepMessagesAreRefusedOrDroppedAndOtherPagesServed)
{
    const int oneMiB = 1024 * 1024;
    const QString request = R"({"jsonrpc":"2.0","method":"ns.echo","id":"big","params":{"s":")";
    enum Outcome { Answered, Dropped, Refused };
    const struct
    {
        const char *name;
        QString message;
        Outcome outcome;
    } cases[] = {
        {"unfinished 10 MiB", "{\"s\":\"" + QString(10 * oneMiB, 'a'), Refused},
        {"complete 10 MiB", request + QString(10 * oneMiB, 'a') + "\"}}", Refused},
        {"complete, just below 1 MiB", request + QString(oneMiB - 100, 'a') + "\"}}", Answered},
        {"nested 100000 deep",
         R"({"jsonrpc":"2.0","method":"ns.echo","id":"big","params":{"s":)" + QString(100000, '[') +
             QString(100000, ']') + "}}",
         Dropped},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Page page(port());
        ASSERT_TRUE(page.waitConnected());
        page.socket.sendTextMessage(c.message);
        if (c.outcome == Refused) {
            EXPECT_TRUE(waitUntil(
                [&] { return page.socket.state() == QAbstractSocket::UnconnectedState; }, 60000));
            EXPECT_EQ(page.socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
            EXPECT_FALSE(page.results.contains("big"));
            continue;
        }
        if (c.outcome == Answered) {
            EXPECT_TRUE(waitUntil([&] { return page.results.contains("big"); }, 60000));
        }
        EXPECT_TRUE(page.echo(QStringLiteral("next"), 20000).has_value());
        EXPECT_EQ(page.socket.state(), QAbstractSocket::ConnectedState);
    }

    // A frame that announces 2 MiB is refused on its header alone.
    QTcpSocket raw;
    ASSERT_TRUE(openRaw(raw, port()));
    QByteArray header("\x81\xff", 2); // final text frame, masked, 64-bit length
    for (int shift = 56; shift >= 0; shift -= 8)
        header.append(char((quint64(2 * oneMiB) >> shift) & 0xff));
    raw.write(header + QByteArray("\x12\x34\x56\x78", 4) + QByteArray(64, 'a'));
    const std::optional<QByteArray> closing = closedByServer(raw);
    ASSERT_TRUE(closing.has_value());
    // After the notifications the page was sent: a close frame with code 1009.
    const qsizetype closeFrame = closing->lastIndexOf('\x88');
    EXPECT_EQ(closing->mid(closeFrame + 2, 2), QByteArray("\x03\xf1", 2))
        << closing->toHex().toStdString();
    expectServing("after-huge");
}

} // namespace
