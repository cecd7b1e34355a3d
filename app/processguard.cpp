#include "processguard.h"

#include "handoffname.h"

#include <QDebug>
#include <QLocalSocket>

#include <cstdlib>

namespace {

constexpr int kHandOffTimeoutMs = 3000;

// The connection itself is the whole message: the running instance raises its window when a
// client connects, so nothing is sent.
void knockOnRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(handOffServerName(), QIODevice::ReadWrite);
    if (socket.waitForConnected(kHandOffTimeoutMs))
        qDebug() << "Connected to server!";
    else
        qDebug() << "Failed to connect:" << socket.errorString();
}

} // namespace

void ensureSingleInstance()
{
    if (claimInstanceMarker())
        return;
    knockOnRunningInstance();
    std::exit(0);
}
