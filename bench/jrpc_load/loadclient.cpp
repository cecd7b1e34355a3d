#include "loadclient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kConnectTimeoutMs = 10000;
// Replies still owed when the measured interval ends get this long to arrive.
constexpr int kGraceMs = 2000;

// Finds the request id in a reply without a full parse: both servers answer compact JSON with the
// id as a string of digits. Falls back to parsing for any other layout.
qint64 replyId(const QString &text)
{
    static const QString marker = QStringLiteral("\"id\":\"");
    const qsizetype at = text.indexOf(marker);
    if (at >= 0) {
        qint64 id = 0;
        qsizetype i = at + marker.size();
        for (; i < text.size() && text.at(i).isDigit(); ++i)
            id = id * 10 + text.at(i).digitValue();
        if (i < text.size() && text.at(i) == QLatin1Char('"'))
            return id;
    }
    const QJsonValue id =
        QJsonDocument::fromJson(text.toUtf8()).object().value(QLatin1String("id"));
    return id.isString() ? id.toString().toLongLong() : (id.isDouble() ? id.toInteger() : -1);
}

} // namespace

LoadClient::LoadClient(LoadSettings settings, QObject *parent)
    : QObject(parent), settings(std::move(settings))
{
    pacer.setTimerType(Qt::PreciseTimer);
    pacer.setInterval(1);
    connect(&pacer, &QTimer::timeout, this, &LoadClient::onTick);
    phase.setSingleShot(true);
    phase.setTimerType(Qt::PreciseTimer);
}

bool LoadClient::connectAll()
{
    int open = 0;
    QEventLoop loop;
    for (int i = 0; i < settings.connections; ++i) {
        Connection connection;
        connection.socket = std::make_unique<QWebSocket>();
        QWebSocket *socket = connection.socket.get();
        connect(socket, &QWebSocket::connected, &loop, [&open, &loop, this] {
            if (++open == settings.connections)
                loop.quit();
        });
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, i](const QString &text) { onReply(i, text); });
        socket->open(settings.url);
        pool.push_back(std::move(connection));
    }
    QTimer::singleShot(kConnectTimeoutMs, &loop, &QEventLoop::quit);
    if (open < settings.connections)
        loop.exec();
    return open == settings.connections;
}

LoadResult LoadClient::run()
{
    result.connected = connectAll();
    if (!result.connected)
        return result;
    clock.start();
    connect(&phase, &QTimer::timeout, this, &LoadClient::startMeasuring);
    phase.start(static_cast<int>(settings.warmupSeconds * 1000));
    if (settings.rate > 0) {
        pacer.start();
    } else {
        for (int i = 0; i < settings.connections; ++i)
            send(i);
    }
    const int boundMs =
        static_cast<int>((settings.warmupSeconds + settings.seconds) * 1000) + kGraceMs + 1000;
    QElapsedTimer bound;
    bound.start();
    while (!done && bound.elapsed() < boundMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // Whatever is still owed after the grace period counts as lost.
    result.lost = sentMeasured - static_cast<qint64>(result.latenciesMs.size());
    for (Connection &connection : pool)
        connection.socket->close();
    return result;
}

void LoadClient::send(int connection)
{
    if (measureFromNs >= 0) {
        if (ended || sentMeasured >= settings.maxRequests)
            return;
        ++sentMeasured;
    }
    const qint64 id = nextId++;
    const QString request =
        QStringLiteral(R"({"jsonrpc":"2.0","id":"%1","method":"%2"})").arg(id).arg(settings.method);
    Connection &c = pool[static_cast<size_t>(connection)];
    c.sentAtNs.insert(id, clock.nsecsElapsed());
    c.socket->sendTextMessage(request);
}

void LoadClient::onReply(int connection, const QString &text)
{
    const qint64 now = clock.nsecsElapsed();
    Connection &c = pool[static_cast<size_t>(connection)];
    const auto sent = c.sentAtNs.find(replyId(text));
    if (sent == c.sentAtNs.end())
        return; // a notification, or a reply to nothing we track
    const qint64 sentAt = sent.value();
    c.sentAtNs.erase(sent);
    if (measureFromNs >= 0 && sentAt >= measureFromNs) {
        result.latenciesMs.push_back(double(now - sentAt) / 1e6);
        result.seconds = double(now - measureFromNs) / 1e9;
    }
    if (!ended) {
        if (settings.rate <= 0)
            send(connection);
    } else if (static_cast<qint64>(result.latenciesMs.size()) == sentMeasured) {
        done = true;
    }
}

void LoadClient::onTick()
{
    if (ended)
        return;
    const qint64 due = static_cast<qint64>(double(clock.nsecsElapsed()) / 1e9 * settings.rate);
    while (paced < due) {
        send(nextPacedConnection);
        nextPacedConnection = (nextPacedConnection + 1) % settings.connections;
        ++paced;
    }
}

void LoadClient::startMeasuring()
{
    measureFromNs = clock.nsecsElapsed();
    disconnect(&phase, &QTimer::timeout, this, &LoadClient::startMeasuring);
    connect(&phase, &QTimer::timeout, this, &LoadClient::finish);
    phase.start(static_cast<int>(settings.seconds * 1000));
}

void LoadClient::finish()
{
    ended = true;
    pacer.stop();
    if (static_cast<qint64>(result.latenciesMs.size()) == sentMeasured) {
        done = true;
        return;
    }
    QTimer::singleShot(kGraceMs, this, [this] { done = true; });
}
