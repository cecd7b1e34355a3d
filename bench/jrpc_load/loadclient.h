#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <memory>
#include <vector>

struct LoadSettings
{
    QUrl url;
    QString method;
    int connections = 1;
    // 0: closed loop, each connection sends its next request when the previous one is answered.
    // Otherwise requests per second over all connections, sent on a clock.
    double rate = 0;
    double warmupSeconds = 0.5;
    double seconds = 5;
    // Hard bound on requests sent in the measured interval.
    qint64 maxRequests = 500000;
};

struct LoadResult
{
    qint64 lost = 0; // sent in the measured interval and never answered
    double seconds = 0;
    std::vector<double> latenciesMs;
    bool connected = false;
};

// Drives JSON-RPC requests over WebSocket connections from this thread and times each round trip.
class LoadClient : public QObject
{
    Q_OBJECT
public:
    explicit LoadClient(LoadSettings settings, QObject *parent = nullptr);

    // Connects, warms up, measures; runs this thread's events until done (bounded in time).
    LoadResult run();

private:
    struct Connection
    {
        std::unique_ptr<QWebSocket> socket;
        QHash<qint64, qint64> sentAtNs; // request id -> send time
    };

    bool connectAll();
    void send(int connection);
    void onReply(int connection, const QString &text);
    void onTick();
    void startMeasuring();
    void finish();

    LoadSettings settings;
    std::vector<Connection> pool;
    QElapsedTimer clock;
    QTimer pacer;
    QTimer phase;
    qint64 nextId = 1;
    qint64 measureFromNs = -1;
    qint64 sentMeasured = 0;
    qint64 paced = 0;
    int nextPacedConnection = 0;
    bool ended = false; // the measured interval is over: no more requests
    bool done = false;  // and every measured request is answered, or the grace period is over
    LoadResult result;
};
