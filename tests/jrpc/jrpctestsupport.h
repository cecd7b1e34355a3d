#pragma once

#include "tqjrpcloggerbase.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkRequest>
#include <QStringList>
#include <QTimer>
#include <QWebSocket>

#include <functional>
#include <memory>
#include <ostream>

// Readable gtest messages for texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// Runs the calling thread's event loop until the condition holds or the time is up. A real
// event loop, so deferred deletions happen as they do in the server's thread.
inline bool waitUntil(const std::function<bool()> &done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    poll.start(5);
    if (!done())
        loop.exec();
    return done();
}

// Keeps the protocol log lines in memory.
class MemoryLogger : public TQJrpc::TQJrpcLoggerBase
{
public:
    QStringList lines;
    void logDebug(const QString &text) override { lines << text; }
    void logInfo(const QString &text) override { lines << text; }
    void logWarning(const QString &text) override { lines << text; }
    void logError(const QString &text) override { lines << text; }
};

// A page or tool connected to the server, keeping what it receives.
struct TestClient
{
    std::unique_ptr<QWebSocket> socket = std::make_unique<QWebSocket>();
    QStringList received;
    bool closed = false;

    // An empty origin sends no Origin header at all.
    bool connectTo(const QUrl &url, const QByteArray &origin = QByteArray())
    {
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived,
                         [this](const QString &m) { received << m; });
        QObject::connect(socket.get(), &QWebSocket::disconnected, [this] { closed = true; });
        QNetworkRequest request(url);
        if (!origin.isEmpty())
            request.setRawHeader("Origin", origin);
        socket->open(request);
        return waitUntil([this] {
                   return closed || socket->state() == QAbstractSocket::ConnectedState;
               }) &&
               !closed;
    }

    QString key() const
    {
        return QStringLiteral("%1:%2")
            .arg(socket->localAddress().toString())
            .arg(socket->localPort());
    }
};
