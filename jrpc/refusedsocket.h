#pragma once

class QWebSocket;

namespace TQJrpc {

// Closes a connection the server refuses (close code 1008) and deletes its socket object whichever
// way the connection ends: at once when it has already closed, when the peer completes the closing
// handshake, or when the peer has not done so within a grace time.
void dismissRefusedSocket(QWebSocket *socket);

} // namespace TQJrpc
