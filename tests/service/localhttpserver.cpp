#include "localhttpserver.h"

#include <QTcpSocket>
#include <QTimer>

LocalHttpServer::LocalHttpServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void LocalHttpServer::answer(const QString &path, int status, const QByteArray &body)
{
    answers[path] = {status, body, false, 0};
}

void LocalHttpServer::answerLate(const QString &path, int status, const QByteArray &body,
                                 int delayMs)
{
    answers[path] = {status, body, false, delayMs};
}

void LocalHttpServer::staySilent(const QString &path)
{
    answers[path] = {0, {}, true, 0};
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void LocalHttpServer::serve(QTcpSocket *socket)
{
    const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;

    const QString path = QString::fromLatin1(request.split(' ').value(1));
    ++requests[path];
    const Answer reply = answers.value(path);
    if (reply.silent)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    QTimer::singleShot(reply.delayMs, socket, [socket, response = head + reply.body] {
        socket->write(response);
        socket->disconnectFromHost();
    });
}
