#include "jrpctestsupport.h"
#include "tqjrpcserverwebsocket.h"
#include "tqjrpcservicebase.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

class VersionService : public TQJrpcServiceBase
{
public:
    VersionService() : TQJrpcServiceBase(QString()) {}

protected:
    void _recvResquest(const QString &requestId, const QString &method_ns, const QString &method,
                       const QJsonValue &, const QString &client_key) override
    {
        if (method_ns == "global" && method == "getVersion")
            emit sendResponse(requestId, "1.0.0.14", client_key);
    }
};

// Starts the server the way the application does: a signal with a result, connected blocking.
class Starter : public QObject
{
    Q_OBJECT
signals:
    bool listen(int port);
};

} // namespace

TEST(ServerInstance, RunsInItsOwnThreadAndListensThroughABlockingQueuedCall)
{
    QTemporaryDir cwd;
    ASSERT_TRUE(QDir::setCurrent(cwd.path())); // the protocol log goes to the current folder

    TQJrpcServerWebsocket *server = TQJrpcServerWebsocket::instance();
    EXPECT_EQ(TQJrpcServerWebsocket::instance(), server);
    EXPECT_NE(server->thread(), QThread::currentThread());

    QThread worker;
    VersionService service;
    service.moveToThread(&worker);
    worker.start();
    server->setServices({&service}, ".");

    Starter app;
    QObject::connect(&app, &Starter::listen, server,
                     qOverload<quint16>(&TQJrpcServerWebsocket::listen),
                     Qt::BlockingQueuedConnection);
    ASSERT_TRUE(emit app.listen(57890));

    TestClient page;
    ASSERT_TRUE(page.connectTo(QUrl("ws://127.0.0.1:57890")));
    page.socket->sendTextMessage(
        R"({"jsonrpc":"2.0","method":"global.getVersion","params":{},"id":"7"})");
    ASSERT_TRUE(waitUntil([&] { return !page.received.isEmpty(); }));
    EXPECT_EQ(page.received.at(0), "{\n"
                                   "    \"id\": \"7\",\n"
                                   "    \"jsonrpc\": \"2.0\",\n"
                                   "    \"result\": {\n"
                                   "        \"data\": \"1.0.0.14\"\n"
                                   "    }\n"
                                   "}\n");

    QTcpSocket viewer;
    viewer.connectToHost(QHostAddress::LocalHost, TQJrpcServerWebsocket::kDebugMirrorPort);
    EXPECT_TRUE(viewer.waitForConnected(5000));

    QFile log(QDir(cwd.path()).filePath("json_server_log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), QByteArray("JSON RPC server: listening on port 57890\n"
                                        "JSON RPC server: client connected: 127.0.0.1\n"));

    page.socket->close();
    waitUntil([&] { return page.closed; });
    worker.quit();
    worker.wait();
}

#include "instance_test.moc"
