#include "tqjrpcserverwebsocket.h"

#include "refusedsocket.h"
#include "tqjrpcendpoint.h"
#include "tqjrpcsocketwebsocket.h"
#include "websocketdebughelper.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkRequest>
#include <QThread>
#include <QUrlQuery>

namespace TQJrpc {

namespace {

constexpr unsigned long kServerThreadStopMs = 5000;

QThread *g_serverThread = nullptr;

// The server lives to the end of the process, but its thread must not outlive the application
// object: a socket event it delivered while the application is being destroyed would reach a
// half-destroyed object. Runs first thing in the application's destructor.
void stopServerThread()
{
    g_serverThread->quit();
    g_serverThread->wait(kServerThreadStopMs);
}

// Compares without stopping at the first difference, so the time taken tells nothing about how
// much of a guess was right.
bool sameToken(const QString &a, const QString &b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    if (x.size() != y.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < x.size(); ++i)
        diff |= uchar(x.at(i)) ^ uchar(y.at(i));
    return diff == 0;
}

} // namespace

TQJrpcServerWebsocket::TQJrpcServerWebsocket(QObject *parent,
                                             QSharedPointer<TQJrpcLoggerBase> logger,
                                             quint16 debugMirrorPort)
    : TQJpcServerBase(parent, std::move(logger)),
      m_listener(new QWebSocketServer(QStringLiteral("JSON RPC WebSocket server"),
                                      QWebSocketServer::NonSecureMode, this))
{
    connect(m_listener, &QWebSocketServer::newConnection, this,
            &TQJrpcServerWebsocket::newConnection);
    connect(m_listener, &QWebSocketServer::acceptError, this,
            [](QAbstractSocket::SocketError error) {
                qDebug() << "[WebSocket]"
                         << "QWebSocketServer::acceptError " << error;
            });
    connect(m_listener, &QWebSocketServer::serverError, this,
            [](QWebSocketProtocol::CloseCode closeCode) {
                qDebug() << "[WebSocket]"
                         << "QWebSocketServer::serverError " << closeCode;
            });
    m_mirror = new WebSocketDebugHelper(this, this, debugMirrorPort);
}

TQJrpcServerWebsocket::~TQJrpcServerWebsocket()
{
    // Endpoints go first, while the accepted sockets still exist, and at once: there is no later
    // pass of the event loop for this server.
    QWebSocketServer *listener = m_listener;
    listener->disconnect(this);
    listener->close();
    m_listener = nullptr;
    m_clients.clear();
    delete listener;
}

TQJrpcServerWebsocket *TQJrpcServerWebsocket::instance()
{
    static TQJrpcServerWebsocket *const server = [] {
        auto *created = new TQJrpcServerWebsocket();
        auto *thread = new QThread(created);
        created->moveToThread(thread);
        thread->start(QThread::InheritPriority);
        g_serverThread = thread;
        qAddPostRoutine(stopServerThread);
        return created;
    }();
    return server;
}

void TQJrpcServerWebsocket::setSessionToken(const QString &token)
{
    m_sessionToken = token;
}

quint16 TQJrpcServerWebsocket::serverPort() const
{
    return m_listener && m_listener->isListening() ? m_listener->serverPort() : 0;
}

bool TQJrpcServerWebsocket::listen(const QHostAddress &address, quint16 port)
{
    logServerInfo(QStringLiteral("listening on port %2").arg(port));
    return m_listener->listen(address, port);
}

bool TQJrpcServerWebsocket::listen(quint16 port)
{
    return listen(QHostAddress(QHostAddress::LocalHost), port);
}

void TQJrpcServerWebsocket::close()
{
    m_listener->close();
}

TQJrpcEndpoint *TQJrpcServerWebsocket::endpoint(const QString &client_key) const
{
    return m_clients.value(client_key).data();
}

QList<TQJrpcEndpoint *> TQJrpcServerWebsocket::endpoints() const
{
    QList<TQJrpcEndpoint *> all;
    all.reserve(m_clients.size());
    for (const auto &endpoint : m_clients)
        all.append(endpoint.data());
    return all;
}

void TQJrpcServerWebsocket::newConnection()
{
    if (!m_listener->hasPendingConnections())
        return;
    QWebSocket *socket = m_listener->nextPendingConnection();
    if (!socket) {
        logServerError(QStringLiteral("pending socket was null"));
        return;
    }
    // Set before the event loop reads anything of it.
    socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
    socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
    const QString key =
        QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
    if (!admits(socket)) {
        refuse(socket, key);
        return;
    }
    logServerInfo(QStringLiteral("client connected: ") + socket->peerAddress().toString());
    emit connected(socket);
    qDebug() << "[WebSocket]"
             << "client connected " << key;

    QSharedPointer<TQJrpcSocketInterface> wrapper(new TQJrpcSocketWebsocket(socket, key));
    QSharedPointer<TQJrpcEndpoint> endpoint(new TQJrpcEndpoint(wrapper, logger(), this),
                                            [this](TQJrpcEndpoint *e) { deleteEndpoint(e); });
    connect(endpoint.data(), &TQJrpcEndpoint::socketDisconnected, this,
            &TQJrpcServerWebsocket::disconnectClient, Qt::DirectConnection);
    connect(endpoint.data(), &TQJrpcEndpoint::jsonObjectReceived, this,
            &TQJrpcServerWebsocket::jsonRequestReceived, Qt::QueuedConnection);
    m_clients.insert(key, endpoint);

    emit clientConnected(key);
    qDebug() << "[WebSocket]"
             << "current client count " << m_clients.size();
}

void TQJrpcServerWebsocket::disconnectClient(const QString &client_key)
{
    qDebug() << "[WebSocket]"
             << "client disconnected " << client_key;
    if (!m_clients.contains(client_key)) {
        logServerError(QStringLiteral("unknown client disconnected"));
        return;
    }
    m_clients.remove(client_key);
    qDebug() << "[WebSocket]"
             << "current client count " << m_clients.size();
}

bool TQJrpcServerWebsocket::admits(const QWebSocket *socket) const
{
    if (m_sessionToken.isEmpty())
        return true;
    // Every browser sends an Origin header ("null" for local files and sandboxed frames);
    // local tools send none.
    const bool fromBrowser =
        !socket->origin().isEmpty() || socket->request().hasRawHeader("Origin");
    if (!fromBrowser)
        return true;
    const QString offered =
        QUrlQuery(socket->requestUrl()).queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
    return sameToken(offered, m_sessionToken);
}

void TQJrpcServerWebsocket::refuse(QWebSocket *socket, const QString &client_key)
{
    logServerError(QStringLiteral("refused connection %1 from origin %2: missing or wrong session "
                                  "token")
                       .arg(client_key, socket->origin().left(200)));
    dismissRefusedSocket(socket);
}

void TQJrpcServerWebsocket::deleteEndpoint(TQJrpcEndpoint *endpoint) const
{
    // A registry entry is usually dropped from inside the endpoint's own disconnect signal, so the
    // endpoint must outlive that call: only the server's own teardown deletes at once.
    if (m_listener)
        endpoint->deleteLater();
    else
        delete endpoint;
}

} // namespace TQJrpc
