#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QWebSocket>

#include <functional>
#include <optional>

// Runs the calling thread's events until the condition holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int ms = 5000);

// A page connected to the JSON-RPC server over a real WebSocket (no Origin header, like a local
// tool), keeping every object it receives.
class PageClient
{
public:
    explicit PageClient(quint16 port);

    bool isConnected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    // Sends a request with a fresh id and returns that id.
    QString send(const QString &method, const QJsonValue &params = QJsonValue::Undefined);
    // The "result" of the response to `id`, waiting up to `ms`.
    std::optional<QJsonValue> result(const QString &id, int ms = 5000);
    // Sends and waits for the response's {"data": ...} member.
    std::optional<QJsonValue> call(const QString &method,
                                   const QJsonValue &params = QJsonValue::Undefined, int ms = 5000);
    // Every notification received so far with this qualified name, oldest first.
    QList<QJsonValue> notifications(const QString &method) const;
    // Waits for a notification with this name after the first `after` ones.
    std::optional<QJsonValue> nextNotification(const QString &method, int after, int ms = 5000);

    QList<QJsonObject> received;

private:
    QWebSocket socket;
    int nextId = 1;
};
