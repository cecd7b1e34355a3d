#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUrl>

namespace TQJrpc {

// A message socket as the JSON-RPC layer sees it: whole UTF-8 messages tagged with the key of the
// connection they came in on.
class TQJrpcSocketInterface : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void dataReceived(const QByteArray &bytes, const QString &client_key);
    void socketConnected(QObject *socket);
    void socketDisconnected(const QString &client_key);
    void socketError(QObject *socket, QAbstractSocket::SocketError error);

public slots:
    virtual void open(const QString &host, int port) = 0;
    virtual void open(const QUrl &url) = 0;
    virtual bool waitForConnected(int ms) = 0;
    virtual void close() = 0;
    virtual bool isConnected() const = 0;
    virtual qint64 send(const QByteArray &bytes) = 0;
    virtual QString errorString() const = 0;
    virtual QHostAddress localAddress() const = 0;
    virtual quint16 localPort() const = 0;
    virtual QHostAddress peerAddress() const = 0;
    virtual quint16 peerPort() const = 0;
};

} // namespace TQJrpc
