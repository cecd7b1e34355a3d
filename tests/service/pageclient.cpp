#include "pageclient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

bool waitUntil(const std::function<bool()> &done, int ms)
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

PageClient::PageClient(quint16 port)
{
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
        received << QJsonDocument::fromJson(text.toUtf8()).object();
    });
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    waitUntil([this] { return isConnected(); });
}

QString PageClient::send(const QString &method, const QJsonValue &params)
{
    const QString id = QString::number(nextId++);
    QJsonObject request{{"jsonrpc", "2.0"}, {"method", method}, {"id", id}};
    if (!params.isUndefined())
        request.insert("params", params);
    socket.sendTextMessage(QString::fromUtf8(QJsonDocument(request).toJson()));
    return id;
}

std::optional<QJsonValue> PageClient::result(const QString &id, int ms)
{
    std::optional<QJsonValue> found;
    waitUntil(
        [&] {
            for (const QJsonObject &object : received)
                if (object.contains("id") && object.value("id").toString() == id)
                    found = object.value("result");
            return found.has_value();
        },
        ms);
    return found;
}

std::optional<QJsonValue> PageClient::call(const QString &method, const QJsonValue &params, int ms)
{
    const std::optional<QJsonValue> reply = result(send(method, params), ms);
    if (!reply)
        return std::nullopt;
    return reply->toObject().value("data");
}

QList<QJsonValue> PageClient::notifications(const QString &method) const
{
    QList<QJsonValue> found;
    for (const QJsonObject &object : received)
        if (!object.contains("id") && object.value("method").toString() == method)
            found << object.value("params");
    return found;
}

std::optional<QJsonValue> PageClient::nextNotification(const QString &method, int after, int ms)
{
    if (!waitUntil([&] { return notifications(method).size() > after; }, ms))
        return std::nullopt;
    return notifications(method).at(after);
}
