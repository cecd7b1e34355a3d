#include "tqjrpcsocketwebsocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QTimer>

namespace TQJrpc {

TQJrpcSocketWebsocket::TQJrpcSocketWebsocket()
    : m_socket(new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, nullptr))
{
    wire();
}

TQJrpcSocketWebsocket::TQJrpcSocketWebsocket(QWebSocket *socket, const QString &client_key)
    : m_socket(socket), m_clientKey(client_key)
{
    wire();
}

TQJrpcSocketWebsocket::~TQJrpcSocketWebsocket()
{
    // A signal being delivered while the wrapper dies must find no receiver.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->deleteLater();
    }
}

void TQJrpcSocketWebsocket::wire()
{
    connect(m_socket, &QWebSocket::connected, this,
            [this] { emit socketConnected(m_socket.data()); });
    connect(m_socket, &QWebSocket::disconnected, this,
            [this] { emit socketDisconnected(m_clientKey); });
    connect(m_socket, &QWebSocket::textMessageReceived, this, &TQJrpcSocketWebsocket::dataReady);
    connect(m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError error) {
                emit socketError(m_socket.data(), error);
                qDebug() << "[WebSocket]"
                         << "Socket Error:" << error << m_clientKey;
            });
}

void TQJrpcSocketWebsocket::dataReady(const QString &data)
{
    emit dataReceived(data.toUtf8(), m_clientKey);
}

void TQJrpcSocketWebsocket::open(const QString &host, int port)
{
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(host, QUrl::DecodedMode);
    url.setPort(port);
    open(url);
}

void TQJrpcSocketWebsocket::open(const QUrl &url)
{
    m_socket->open(url);
}

bool TQJrpcSocketWebsocket::waitForConnected(int ms)
{
    bool connected = false;
    const QMetaObject::Connection watch =
        connect(m_socket, &QWebSocket::connected, this, [&connected] { connected = true; });
    const QDeadlineTimer deadline(ms);
    // Wakes the event wait below at the deadline when nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!connected && !deadline.hasExpired()) {
        wake.start(qMax<qint64>(1, deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    disconnect(watch);
    return connected;
}

void TQJrpcSocketWebsocket::close()
{
    m_socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
}

bool TQJrpcSocketWebsocket::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

qint64 TQJrpcSocketWebsocket::send(const QByteArray &bytes)
{
    return m_socket ? m_socket->sendTextMessage(QString::fromUtf8(bytes)) : 0;
}

QString TQJrpcSocketWebsocket::errorString() const
{
    return m_socket ? m_socket->errorString() : QString();
}

QHostAddress TQJrpcSocketWebsocket::localAddress() const
{
    return m_socket ? m_socket->localAddress() : QHostAddress();
}

quint16 TQJrpcSocketWebsocket::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

QHostAddress TQJrpcSocketWebsocket::peerAddress() const
{
    return m_socket ? m_socket->peerAddress() : QHostAddress();
}

quint16 TQJrpcSocketWebsocket::peerPort() const
{
    return m_socket ? m_socket->peerPort() : 0;
}

} // namespace TQJrpc
