// bench_jrpc_load: JSON-RPC round trips over loopback WebSockets, bounded in count and time.
//
//   bench_jrpc_load --url ws://127.0.0.1:<port> [--connections N] [--rate R] [--seconds S]
//                   [--warmup S] [--max-requests N] [--method name] [--label text]
//
// Without --rate every connection keeps one request in flight (throughput); with it, R requests
// per second are spread over the connections (latency under a steady load). Prints one JSON line.

#include "latencystats.h"
#include "loadclient.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

constexpr double kMaxSeconds = 60;
constexpr int kMaxConnections = 200;

bool isLoopback(const QUrl &url)
{
    return url.host() == QLatin1String("127.0.0.1") || url.host() == QLatin1String("localhost") ||
           url.host() == QLatin1String("::1");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption url("url", "Server address (loopback only).", "url");
    const QCommandLineOption connections("connections", "Connections.", "n", "1");
    const QCommandLineOption rate("rate", "Requests per second in all (0: closed loop).", "r", "0");
    const QCommandLineOption seconds("seconds", "Measured seconds.", "s", "5");
    const QCommandLineOption warmup("warmup", "Warm-up seconds.", "s", "0.5");
    const QCommandLineOption maxRequests("max-requests", "Bound on measured requests.", "n",
                                         "500000");
    const QCommandLineOption method("method", "Method to call.", "name", "global.getVersion");
    const QCommandLineOption label("label", "Label copied into the output.", "text");
    parser.addOptions({url, connections, rate, seconds, warmup, maxRequests, method, label});
    parser.process(app);

    LoadSettings settings;
    settings.url = QUrl(parser.value(url));
    settings.method = parser.value(method);
    settings.connections = parser.value(connections).toInt();
    settings.rate = parser.value(rate).toDouble();
    settings.seconds = parser.value(seconds).toDouble();
    settings.warmupSeconds = parser.value(warmup).toDouble();
    settings.maxRequests = parser.value(maxRequests).toLongLong();
    if (!isLoopback(settings.url) || settings.connections < 1 ||
        settings.connections > kMaxConnections || settings.seconds <= 0 ||
        settings.seconds + settings.warmupSeconds > kMaxSeconds || settings.maxRequests < 1) {
        std::fprintf(stderr, "bench_jrpc_load: loopback URL, 1..%d connections, at most %g s\n",
                     kMaxConnections, kMaxSeconds);
        return 2;
    }

    LoadClient client(settings);
    LoadResult result = client.run();
    const qint64 answered = static_cast<qint64>(result.latenciesMs.size());
    QJsonObject out{
        {"label", parser.value(label)},
        {"connections", settings.connections},
        {"rate", settings.rate},
        {"connected", result.connected},
        {"answered", answered},
        {"lost", result.lost},
        {"seconds", result.seconds},
        {"rps", result.seconds > 0 ? double(answered) / result.seconds : 0.0},
    };
    out.insert("p50_ms", percentile(result.latenciesMs, 0.50));
    out.insert("p99_ms", percentile(result.latenciesMs, 0.99));
    out.insert("max_ms", result.latenciesMs.empty() ? 0.0 : result.latenciesMs.back());
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return result.connected && answered > 0 ? 0 : 1;
}
