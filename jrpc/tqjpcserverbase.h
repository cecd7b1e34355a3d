#pragma once

#include "tqjrpcloggerbase.h"
#include "tqjrpcservicebase.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSharedPointer>

namespace TQJrpc {

class TQJrpcEndpoint;

// Routes request objects to the registered services and turns their replies into wire objects.
// Lives in its own thread; the transport and the client registry come from the subclass.
class TQJpcServerBase : public QObject
{
    Q_OBJECT
public:
    // A null logger writes "json_server_log.txt" in the current directory.
    explicit TQJpcServerBase(QObject *parent = nullptr,
                             QSharedPointer<TQJrpcLoggerBase> logger = {});

    // Call once, before listen (from any thread): connects each service's replies to this server
    // with queued connections. A second call adds a second set of connections.
    void setServices(const QList<TQJrpcServiceBase *> &services, const QString &separator);

    void logServerInfo(const QString &text);
    void logServerError(const QString &text);

    QSharedPointer<TQJrpcLoggerBase> logger() const { return m_logger; }

    // The endpoint of that connection, or null.
    virtual TQJrpcEndpoint *endpoint(const QString &client_key) const = 0;
    // Every endpoint, in registry order.
    virtual QList<TQJrpcEndpoint *> endpoints() const = 0;

signals:
    void clientConnected(const QString &client_key);
    void clientDisconnected(const QString &client_key);
    void socketError(QObject *socket, QAbstractSocket::SocketError error);

public slots:
    virtual bool listen(const QHostAddress &address, quint16 port) = 0;
    virtual bool listen(quint16 port) = 0;
    virtual void close() = 0;

    void jsonRequestReceived(const QJsonObject &request, const QString &client_key);

    // Stops routing requests to the registered services. Runs in the server's thread (from another
    // thread, through a blocking queued call); once it has returned, no request reaches any of
    // them, so a service may be freed while the server still serves its connections.
    void clearServices();

protected slots:
    virtual void newConnection() = 0;
    virtual void disconnectClient(const QString &client_key) = 0;

private slots:
    void serviceNotificationReceived(const QString &key, const QJsonValue &value,
                                     const QString &client_key);
    void serviceResponseReceived(const QString &request_id, const QJsonValue &value,
                                 const QString &client_key);
    void serviceErrResponseReceived(const QString &request_id, const QJsonValue &value,
                                    const QString &client_key);

private:
    void sendTo(const QString &client_key, const QJsonObject &object);

    QSharedPointer<TQJrpcLoggerBase> m_logger;
    QList<TQJrpcServiceBase *> m_services;
    QString m_separator;
};

} // namespace TQJrpc
