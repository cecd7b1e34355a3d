#include "httpcontroller.h"

#include "statusenvelope.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

HttpController::HttpController(QObject *parent)
    : QObject(parent), manager(std::make_unique<QNetworkAccessManager>())
{
}

HttpController::~HttpController() = default;

bool HttpController::get(const QString &url, QByteArray &bytes, int &status, QString &error,
                         const ProgressFn &progress)
{
    QNetworkReply *reply = manager->get(QNetworkRequest(QUrl(url, QUrl::TolerantMode)));
    if (progress)
        connect(reply, &QNetworkReply::downloadProgress, reply, progress);
    return waitReply(reply, bytes, status, error);
}

bool HttpController::waitReply(QNetworkReply *reply, QByteArray &bytes, int &status, QString &error)
{
    status = 0;
    bool result = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);

    // Every handler is bound to the loop, so none of them can run once this wait has returned.
    connect(&timer, &QTimer::timeout, &loop, [&] {
        if (reply->isRunning())
            reply->abort();
        error = QStringLiteral("Error:Network timeout");
        loop.quit();
    });
    connect(reply, &QNetworkReply::errorOccurred, &loop, [&] {
        if (!timer.isActive())
            return;
        error = QStringLiteral("Error: Network: %2").arg(reply->errorString());
    });
    // A failing reply reports its error and then its end; the end handler has the last word.
    connect(reply, &QNetworkReply::finished, &loop, [&] {
        if (!timer.isActive())
            return;
        status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        bytes = reply->readAll();
        if (status == 200)
            result = true;
        else
            error = reply->errorString();
        timer.stop();
        loop.quit();
    });

    timer.start(timeoutMs);
    waiting = reply;
    loop.exec();
    waiting = nullptr;
    reply->disconnect();
    reply->deleteLater();
    return result;
}

void HttpController::abort()
{
    if (waiting)
        waiting->abort();
}

QByteArray HttpController::download(const QString &url, QString &error, const ProgressFn &progress)
{
    QByteArray body;
    int status = 0;
    QString message;
    const bool ok = get(url, body, status, message, progress);
    return readDownloadAnswer(ok, body, status, message, error);
}
