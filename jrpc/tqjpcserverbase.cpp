#include "tqjpcserverbase.h"

#include "tqjrpcendpoint.h"
#include "tqjrpcloggerfile.h"
#include "tqjrpcmessage.h"

#include <QDebug>

namespace TQJrpc {

TQJpcServerBase::TQJpcServerBase(QObject *parent, QSharedPointer<TQJrpcLoggerBase> logger)
    : QObject(parent), m_logger(std::move(logger))
{
    if (!m_logger)
        m_logger.reset(new TQJrpcLoggerFile(QStringLiteral("json_server_log.txt")));
}

void TQJpcServerBase::setServices(const QList<TQJrpcServiceBase *> &services,
                                  const QString &separator)
{
    m_services = services;
    m_separator = separator;
    for (TQJrpcServiceBase *service : services) {
        connect(service, &TQJrpcServiceBase::sendNotification, this,
                &TQJpcServerBase::serviceNotificationReceived, Qt::QueuedConnection);
        connect(service, &TQJrpcServiceBase::sendResponse, this,
                &TQJpcServerBase::serviceResponseReceived, Qt::QueuedConnection);
        connect(service, &TQJrpcServiceBase::sendErrResponse, this,
                &TQJpcServerBase::serviceErrResponseReceived, Qt::QueuedConnection);
    }
}

void TQJpcServerBase::clearServices()
{
    m_services.clear();
}

void TQJpcServerBase::logServerInfo(const QString &text)
{
    m_logger->logInfo(QStringLiteral("JSON RPC server: ") + text);
}

void TQJpcServerBase::logServerError(const QString &text)
{
    m_logger->logError(QStringLiteral("JSON RPC server error: ") + text);
}

void TQJpcServerBase::jsonRequestReceived(const QJsonObject &request, const QString &client_key)
{
    const ParsedRequest r = parseRequest(request, m_separator, client_key);
    if (!r.valid) {
        logServerError(QStringLiteral("invalid protocol tag"));
        return;
    }
    if (r.methodMissing)
        logServerError(QStringLiteral("no method present in request"));
    for (TQJrpcServiceBase *service : std::as_const(m_services)) {
        qDebug() << "jsonRequestReceived"
                 << "client_key:" << client_key << "requestId:" << r.requestId
                 << "service:" << r.method_ns << "method:" << r.method;
        emit service->recvResquest(r.requestId, r.method_ns, r.method, r.data, client_key);
    }
}

void TQJpcServerBase::serviceNotificationReceived(const QString &key, const QJsonValue &value,
                                                  const QString &client_key)
{
    if (key.isEmpty())
        return;
    const QJsonObject notification = makeNotification(key, value);
    if (!client_key.isEmpty()) {
        sendTo(client_key, notification);
        return;
    }
    const QJsonDocument document(notification);
    for (TQJrpcEndpoint *endpoint : endpoints())
        endpoint->sendDocument(document);
}

void TQJpcServerBase::serviceResponseReceived(const QString &request_id, const QJsonValue &value,
                                              const QString &client_key)
{
    sendTo(client_key, makeResponse(request_id, value));
}

void TQJpcServerBase::serviceErrResponseReceived(const QString &request_id, const QJsonValue &value,
                                                 const QString &client_key)
{
    sendTo(client_key, makeErrResponse(request_id, value));
}

void TQJpcServerBase::sendTo(const QString &client_key, const QJsonObject &object)
{
    // A page that has gone away before its reply simply gets nothing.
    if (TQJrpcEndpoint *target = endpoint(client_key))
        target->sendDocument(QJsonDocument(object));
}

} // namespace TQJrpc
