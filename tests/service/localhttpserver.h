#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTcpServer>

// A small HTTP/1.1 server on 127.0.0.1 for the download tests: each path answers with a fixed
// status and body; a path marked silent accepts the request and never answers.
class LocalHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    LocalHttpServer();

    void answer(const QString &path, int status, const QByteArray &body);
    // Answers only after `delayMs`, as a slow server would.
    void answerLate(const QString &path, int status, const QByteArray &body, int delayMs);
    void staySilent(const QString &path);
    QString url(const QString &path) const;
    int requestCount(const QString &path) const { return requests.value(path); }

private:
    struct Answer
    {
        int status = 404;
        QByteArray body;
        bool silent = false;
        int delayMs = 0;
    };

    void serve(QTcpSocket *socket);

    QMap<QString, Answer> answers;
    QMap<QString, int> requests;
};
