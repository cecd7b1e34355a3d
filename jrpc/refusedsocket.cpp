#include "refusedsocket.h"

#include <QTimer>
#include <QWebSocket>

namespace TQJrpc {

namespace {

// A refused peer that never completes the closing handshake is cut off after this.
constexpr int kRefusedCloseGraceMs = 2000;

} // namespace

void dismissRefusedSocket(QWebSocket *socket)
{
    // A socket that has already closed reports no disconnect any more.
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    QObject::connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kRefusedCloseGraceMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                  QStringLiteral("session token required"));
}

} // namespace TQJrpc
