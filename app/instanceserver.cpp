#include "instanceserver.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

// Whether a socket entry of `name` is left in the file system. Windows names a pipe, which has no
// such entry.
bool socketEntryExists(const QString &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(name)
    return false;
#else
    const QString path =
        QDir::isAbsolutePath(name) ? name : QStringLiteral("%1/%2").arg(QDir::tempPath(), name);
    return QFileInfo::exists(path);
#endif
}

} // namespace

void listenForHandOff(QLocalServer *server, const QString &name, const std::function<void()> &raise)
{
    server->setSocketOptions(QLocalServer::WorldAccessOption);
    QObject::connect(server, &QLocalServer::newConnection, server, [server, raise] {
        if (QLocalSocket *socket = server->nextPendingConnection())
            socket->deleteLater();
        raise();
    });
    if (server->listen(name))
        return;
    if (server->serverError() == QAbstractSocket::AddressInUseError && socketEntryExists(name)) {
        QLocalServer::removeServer(name);
        server->listen(name);
    }
}
