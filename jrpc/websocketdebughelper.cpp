#include "websocketdebughelper.h"

#include "tqjrpcserverwebsocket.h"

#include <QDateTime>
#include <QWebSocket>

namespace TQJrpc {

WebSocketDebugHelper::WebSocketDebugHelper(TQJrpcServerWebsocket *source, QObject *parent,
                                           quint16 port)
    : QObject(parent), m_listener(new QTcpServer(this))
{
    connect(m_listener, &QTcpServer::newConnection, this, &WebSocketDebugHelper::addViewer);
    m_listener->listen(QHostAddress::LocalHost, port);
    connect(source, &TQJrpcServerWebsocket::connected, this,
            &WebSocketDebugHelper::onWebSocketConnected);
}

quint16 WebSocketDebugHelper::serverPort() const
{
    return m_listener->isListening() ? m_listener->serverPort() : 0;
}

QHostAddress WebSocketDebugHelper::serverAddress() const
{
    return m_listener->serverAddress();
}

void WebSocketDebugHelper::addViewer()
{
    QTcpSocket *viewer = m_listener->nextPendingConnection();
    if (!viewer)
        return;
    m_viewers.append(viewer);
    connect(viewer, &QTcpSocket::disconnected, this, [this, viewer] {
        m_viewers.removeAll(viewer);
        viewer->deleteLater();
    });
    connect(viewer, &QTcpSocket::errorOccurred, this,
            [this, viewer] { m_viewers.removeAll(viewer); });
}

void WebSocketDebugHelper::onWebSocketConnected(QWebSocket *socket)
{
    const QString label =
        QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
    connect(socket, &QWebSocket::disconnected, this,
            [this, label] { broadcast(tr("<%1> Client disconnected").arg(label)); });
    connect(socket, &QWebSocket::textMessageReceived, this, [this, label](const QString &text) {
        broadcast(tr("<%1> Received:\n%2").arg(label, text));
    });
    broadcast(tr("<%1> Client Connected").arg(label));
}

void WebSocketDebugHelper::broadcast(const QString &text)
{
    const QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("\n[hh:mm:ss. zzz] ")).toUtf8() +
        text.toUtf8();
    for (QTcpSocket *viewer : std::as_const(m_viewers))
        viewer->write(line);
}

} // namespace TQJrpc
