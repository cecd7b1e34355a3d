#pragma once

#include <QJsonValue>
#include <QObject>
#include <QString>

namespace TQJrpc {

// What an application derives from to answer JSON-RPC requests. The server emits recvResquest from
// its own thread; the handler _recvResquest always runs in this object's thread through a queued
// connection, and replies go back through the three send signals (queued by the server).
//
// Contract for _recvResquest: ignore a (method_ns, method) pair that is not yours; otherwise emit
// sendResponse (or sendErrResponse) exactly once, now or later, with the same requestId and
// client_key. sendResponse carries the bare result; the server wraps it as {"data": value}.
class TQJrpcServiceBase : public QObject
{
    Q_OBJECT
public:
    explicit TQJrpcServiceBase(const QString &serviceName, QObject *parent = nullptr);

    QString serviceName() const { return m_serviceName; }

    // Emits sendNotification named "<ns>.<name>"; an empty client_key reaches every page.
    void emitNotification(const QString &ns, const QString &name, const QJsonValue &data,
                          const QString &client_key = QString());

signals:
    void recvResquest(const QString &requestId, const QString &method_ns, const QString &method,
                      const QJsonValue &data, const QString &client_key);
    void sendResponse(const QString &requestId, const QJsonValue &data, const QString &client_key);
    void sendErrResponse(const QString &request_id, const QJsonValue &data,
                         const QString &client_key);
    void sendNotification(const QString &method, const QJsonValue &data, const QString &client_key);

protected slots:
    virtual void _recvResquest(const QString &requestId, const QString &method_ns,
                               const QString &method, const QJsonValue &data,
                               const QString &client_key) = 0;

private:
    QString m_serviceName;
};

} // namespace TQJrpc
