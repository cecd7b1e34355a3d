#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// One blocking HTTP GET at a time, for the software update. The wait runs a local event loop, so
// the calling thread keeps handling its other events (and requests) while the download runs.
class HttpController : public QObject
{
    Q_OBJECT
public:
    // (bytes received, bytes total); total is -1 while unknown.
    using ProgressFn = std::function<void(qint64 received, qint64 total)>;

    explicit HttpController(QObject *parent = nullptr);
    ~HttpController() override;

    // True only for HTTP status 200; `status` is 0 when no HTTP answer came.
    bool get(const QString &url, QByteArray &bytes, int &status, QString &error,
             const ProgressFn &progress = {});
    bool waitReply(QNetworkReply *reply, QByteArray &bytes, int &status, QString &error);
    // The package, or empty bytes with or without an error text ("[status]message").
    QByteArray download(const QString &url, QString &error, const ProgressFn &progress);

    // The wait limit of every request; 30 minutes unless a test shortens it.
    void setTimeoutMs(int ms) { timeoutMs = ms; }

public slots:
    // Ends the request being waited for at once, as a failed one; nothing when there is none.
    void abort();

private:
    std::unique_ptr<QNetworkAccessManager> manager;
    QPointer<QNetworkReply> waiting;
    int timeoutMs = 1800000;
};
