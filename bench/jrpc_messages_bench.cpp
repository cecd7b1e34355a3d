// Objects per second through the endpoint's object extraction and the request model, for the
// messages a page sends, packed 1, 4 and 64 to a WebSocket frame; and bytes per second through an
// endpoint that receives one large object in small messages.

#include "tqjrpcendpoint.h"
#include "tqjrpcextractobjects.h"
#include "tqjrpcmessage.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace {

// What a page sends most: plain getters, notification switches and the two settings writes.
const char *const kPageRequests[] = {
    R"({"jsonrpc":"2.0","id":"101","method":"global.getVersion"})",
    R"({"jsonrpc":"2.0","id":"102","method":"global.enableNotify","params":{"pageName":"homePage"}})",
    R"({"jsonrpc":"2.0","id":"103","method":"homePage.getModeAndFirmwareVersion","params":{}})",
    R"({"jsonrpc":"2.0","id":"104","method":"batterySetting.setSettingParam","params":{"lowPowerTipValue":25,"lowPowerShutdownValue":15,"enableLowPowerShutdown":true,"enableRemoteLowPowerShutdown":false}})",
    R"({"jsonrpc":"2.0","id":"105","method":"connectModeParam.setSettings","params":{"mode":"remote","nutHost":"192.168.1.20","nutPort":"3496","nutUser":"monitor","nutPassword":"s3cret \"quoted\" {brace}","upsName":"nutdev1"}})",
    R"({"jsonrpc":"2.0","id":"106","method":"homePage.getLast100TurnOffChargeTime"})",
};
constexpr int kRequestKinds = sizeof kPageRequests / sizeof kPageRequests[0];

QByteArray frameOf(int objects)
{
    QByteArray frame;
    for (int i = 0; i < objects; ++i)
        frame += kPageRequests[i % kRequestKinds];
    return frame;
}

void BM_ExtractObjects(benchmark::State &state)
{
    const int perFrame = static_cast<int>(state.range(0));
    const QByteArray frame = frameOf(perFrame);
    for (auto _ : state) {
        const TQJrpc::Extraction extraction = TQJrpc::extractObjects(frame);
        if (extraction.objects.size() != perFrame)
            state.SkipWithError("lost objects");
        benchmark::DoNotOptimize(extraction.objects.constData());
    }
    state.SetItemsProcessed(state.iterations() * perFrame);
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_ExtractObjects)->ArgName("objectsPerFrame")->Arg(1)->Arg(4)->Arg(64);

void BM_ParseRequest(benchmark::State &state)
{
    const int perFrame = static_cast<int>(state.range(0));
    const QList<QJsonObject> objects = TQJrpc::extractObjects(frameOf(perFrame)).objects;
    const QString separator = QStringLiteral(".");
    const QString clientKey = QStringLiteral("127.0.0.1:50432");
    for (auto _ : state) {
        for (const QJsonObject &object : objects) {
            const TQJrpc::ParsedRequest request =
                TQJrpc::parseRequest(object, separator, clientKey);
            benchmark::DoNotOptimize(request.valid);
        }
    }
    state.SetItemsProcessed(state.iterations() * perFrame);
}
BENCHMARK(BM_ParseRequest)->ArgName("objectsPerFrame")->Arg(1)->Arg(4)->Arg(64);

// The server's receive path per frame: cut the objects out, then read each as a request.
void BM_ExtractAndParse(benchmark::State &state)
{
    const int perFrame = static_cast<int>(state.range(0));
    const QByteArray frame = frameOf(perFrame);
    const QString separator = QStringLiteral(".");
    const QString clientKey = QStringLiteral("127.0.0.1:50432");
    for (auto _ : state) {
        for (const QJsonObject &object : TQJrpc::extractObjects(frame).objects)
            benchmark::DoNotOptimize(TQJrpc::parseRequest(object, separator, clientKey).valid);
    }
    state.SetItemsProcessed(state.iterations() * perFrame);
}
BENCHMARK(BM_ExtractAndParse)->ArgName("objectsPerFrame")->Arg(1)->Arg(4)->Arg(64);

// Stands in for a connection: the benchmark pushes the messages.
class PushedSocket : public TQJrpc::TQJrpcSocketInterface
{
public:
    void receive(const QByteArray &bytes) { emit dataReceived(bytes, QStringLiteral("k:1")); }

    void open(const QString &, int) override {}
    void open(const QUrl &) override {}
    bool waitForConnected(int) override { return false; }
    void close() override {}
    bool isConnected() const override { return true; }
    qint64 send(const QByteArray &bytes) override { return bytes.size(); }
    QString errorString() const override { return {}; }
    QHostAddress localAddress() const override { return {}; }
    quint16 localPort() const override { return 0; }
    QHostAddress peerAddress() const override { return {}; }
    quint16 peerPort() const override { return 0; }
};

class QuietLogger : public TQJrpc::TQJrpcLoggerBase
{
public:
    void logDebug(const QString &) override {}
    void logInfo(const QString &) override {}
    void logWarning(const QString &) override {}
    void logError(const QString &) override {}
};

// One object of the given size in 64-byte messages, as a client that sends it in small frames
// does: what the endpoint has kept must not be scanned again for every message.
void BM_ObjectInSmallMessages(benchmark::State &state)
{
    const qsizetype size = state.range(0);
    const QByteArray object = R"({"jsonrpc":"2.0","id":"1","method":"ns.m","params":{"s":")" +
                              QByteArray(size, 'a') + R"("}})";
    constexpr qsizetype kMessageBytes = 64;
    QList<QByteArray> messages;
    for (qsizetype at = 0; at < object.size(); at += kMessageBytes)
        messages << object.mid(at, kMessageBytes);
    for (auto _ : state) {
        QSharedPointer<PushedSocket> socket(new PushedSocket);
        TQJrpc::TQJrpcEndpoint endpoint(socket, QSharedPointer<QuietLogger>::create());
        int objects = 0;
        QObject::connect(&endpoint, &TQJrpc::TQJrpcEndpoint::jsonObjectReceived,
                         [&objects] { ++objects; });
        for (const QByteArray &message : messages)
            socket->receive(message);
        if (objects != 1)
            state.SkipWithError("lost the object");
    }
    state.SetBytesProcessed(state.iterations() * object.size());
}
BENCHMARK(BM_ObjectInSmallMessages)->ArgName("bytes")->Arg(16 * 1024)->Arg(256 * 1024);

} // namespace

BENCHMARK_MAIN();
