#pragma once

#include "tqjrpcsocketinterface.h"

#include <QPointer>
#include <QWebSocket>

namespace TQJrpc {

// Adapts a QWebSocket: text messages become UTF-8 byte messages; binary frames are ignored.
class TQJrpcSocketWebsocket : public TQJrpcSocketInterface
{
    Q_OBJECT
public:
    // For an outgoing connection; the key stays empty.
    TQJrpcSocketWebsocket();
    // For an accepted connection; takes ownership of the socket.
    TQJrpcSocketWebsocket(QWebSocket *socket, const QString &client_key);
    ~TQJrpcSocketWebsocket() override;

    void open(const QString &host, int port) override;
    void open(const QUrl &url) override;
    // Waits for a new "connected" signal only: the current state does not count.
    bool waitForConnected(int ms) override;
    void close() override;
    bool isConnected() const override;
    qint64 send(const QByteArray &bytes) override;
    QString errorString() const override;
    QHostAddress localAddress() const override;
    quint16 localPort() const override;
    QHostAddress peerAddress() const override;
    quint16 peerPort() const override;

private slots:
    void dataReady(const QString &data);

private:
    void wire();

    // Guarded: the listener may delete accepted sockets (its children) before this wrapper.
    QPointer<QWebSocket> m_socket;
    QString m_clientKey;
};

} // namespace TQJrpc
