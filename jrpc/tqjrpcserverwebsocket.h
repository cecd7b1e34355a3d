#pragma once

#include "tqjpcserverbase.h"

#include <QMap>
#include <QPointer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace TQJrpc {

class TQJrpcEndpoint;
class WebSocketDebugHelper;

// The WebSocket transport of the JSON-RPC server: a plain ws:// listener and one endpoint per
// connection, keyed by client_key ("<peer address>:<peer port>").
//
// Browser pages are told apart from local tools by their Origin header. With a session token set,
// a connection that carries an Origin header is closed with 1008 (policy violation) before any of
// its messages is read, unless its URL carries "?token=<the token>".
//
// The application's path: instance(), then setSessionToken() and setServices() from its own
// thread, then listen(port) through a Qt::BlockingQueuedConnection (or
// QMetaObject::invokeMethod(..., Qt::BlockingQueuedConnection, &ok)) so it runs in the server's
// thread; the blocking call also publishes the two settings to that thread.
class TQJrpcServerWebsocket : public TQJpcServerBase
{
    Q_OBJECT
public:
    static constexpr quint16 kDebugMirrorPort = 13579;
    // The largest message and frame a connection may send; a page's requests are a few hundred
    // bytes. A larger one closes the connection with code 1009 before it is gathered.
    static constexpr quint64 kMaxMessageBytes = 1024 * 1024;

    explicit TQJrpcServerWebsocket(QObject *parent = nullptr,
                                   QSharedPointer<TQJrpcLoggerBase> logger = {},
                                   quint16 debugMirrorPort = kDebugMirrorPort);
    ~TQJrpcServerWebsocket() override;

    // The process's one server, created on the first call and running in a thread of its own.
    static TQJrpcServerWebsocket *instance();

    // Empty (the default) serves every connection. Call before listen.
    void setSessionToken(const QString &token);

    WebSocketDebugHelper *debugMirror() const { return m_mirror; }
    // The port the listener is bound to (0 when not listening).
    quint16 serverPort() const;

    TQJrpcEndpoint *endpoint(const QString &client_key) const override;
    QList<TQJrpcEndpoint *> endpoints() const override;

public slots:
    bool listen(const QHostAddress &address, quint16 port) override;
    bool listen(quint16 port) override;
    void close() override;

signals:
    void connected(QWebSocket *s);

protected slots:
    void newConnection() override;
    void disconnectClient(const QString &client_key) override;

private:
    bool admits(const QWebSocket *socket) const;
    void refuse(QWebSocket *socket, const QString &client_key);
    void deleteEndpoint(TQJrpcEndpoint *endpoint) const;

    QPointer<QWebSocketServer> m_listener;
    QMap<QString, QSharedPointer<TQJrpcEndpoint>> m_clients;
    WebSocketDebugHelper *m_mirror = nullptr;
    QString m_sessionToken;
};

} // namespace TQJrpc
