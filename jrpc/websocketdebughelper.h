#pragma once

#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

class QWebSocket;

namespace TQJrpc {

class TQJrpcServerWebsocket;

// Lets a developer watch the pages' traffic with any plain TCP client: every page connect,
// message and disconnect becomes a time-stamped line to every viewer. Listens on the loopback
// interface only, since page traffic carries the NUT password.
class WebSocketDebugHelper : public QObject
{
    Q_OBJECT
public:
    // A port that is taken leaves the mirror without viewers; nothing else depends on it.
    WebSocketDebugHelper(TQJrpcServerWebsocket *source, QObject *parent, quint16 port);

    // The port viewers connect to (0 when the mirror could not listen).
    quint16 serverPort() const;
    QHostAddress serverAddress() const;

    void broadcast(const QString &text);

private slots:
    void onWebSocketConnected(QWebSocket *socket);

private:
    void addViewer();

    QList<QTcpSocket *> m_viewers;
    QTcpServer *m_listener;
};

} // namespace TQJrpc
