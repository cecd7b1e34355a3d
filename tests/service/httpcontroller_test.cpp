#include "httpcontroller.h"
#include "localhttpserver.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(HttpController, GetsBodyWithProgress)
{
    LocalHttpServer server;
    const QByteArray body(64 * 1024, 'x');
    server.answer("/pkg.zip", 200, body);
    HttpController http;

    QByteArray bytes;
    int status = -1;
    QString error;
    qint64 lastReceived = 0, lastTotal = 0;
    EXPECT_TRUE(
        http.get(server.url("/pkg.zip"), bytes, status, error, [&](qint64 received, qint64 total) {
            lastReceived = received;
            lastTotal = total;
        }));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(bytes, body);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(lastReceived, body.size());
    EXPECT_EQ(lastTotal, body.size());
}

TEST(HttpController, DownloadReportsHttpAndEnvelopeErrors)
{
    LocalHttpServer server;
    server.answer("/plain404", 404, "<html>no</html>");
    server.answer("/envelope404", 404, R"({"code":200,"message":"ok","data":{}})");
    server.answer("/envelope200", 200, R"({"code":"200","message":"ok","data":{}})");
    HttpController http;

    QString error;
    EXPECT_TRUE(http.download(server.url("/plain404"), error, {}).isEmpty());
    EXPECT_TRUE(error.startsWith("[404]")) << error.toStdString();
    EXPECT_GT(error.size(), 5);

    error.clear();
    EXPECT_TRUE(http.download(server.url("/envelope404"), error, {}).isEmpty());
    EXPECT_EQ(error, "[404]ok");

    error.clear();
    EXPECT_TRUE(http.download(server.url("/envelope200"), error, {}).isEmpty());
    EXPECT_TRUE(error.isEmpty());
}

TEST(HttpController, TimesOutWhileTheThreadKeepsServingEvents)
{
    LocalHttpServer server;
    server.staySilent("/hang");
    HttpController http;
    http.setTimeoutMs(600);

    bool otherEventHandled = false;
    QTimer::singleShot(100, [&] { otherEventHandled = true; });
    QString error;
    EXPECT_TRUE(http.download(server.url("/hang"), error, {}).isEmpty());
    EXPECT_EQ(error, "[0]Error:Network timeout");
    EXPECT_TRUE(otherEventHandled);
    EXPECT_EQ(server.requestCount("/hang"), 1);
}

TEST(HttpController, RefusedConnectionIsATransportError)
{
    quint16 closedPort = 0;
    {
        LocalHttpServer probe;
        closedPort = probe.serverPort();
    }
    HttpController http;
    QByteArray bytes;
    int status = -1;
    QString error;
    EXPECT_FALSE(
        http.get(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort), bytes, status, error));
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
