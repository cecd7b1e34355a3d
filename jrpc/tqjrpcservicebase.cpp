#include "tqjrpcservicebase.h"

namespace TQJrpc {

TQJrpcServiceBase::TQJrpcServiceBase(const QString &serviceName, QObject *parent)
    : QObject(parent), m_serviceName(serviceName)
{
    qRegisterMetaType<QJsonValue>("QJsonValue");
    connect(this, &TQJrpcServiceBase::recvResquest, this, &TQJrpcServiceBase::_recvResquest,
            Qt::QueuedConnection);
}

void TQJrpcServiceBase::emitNotification(const QString &ns, const QString &name,
                                         const QJsonValue &data, const QString &client_key)
{
    // Both parts go in one pass, so a "%2" inside the namespace stays literal.
    emit sendNotification(QStringLiteral("%1.%2").arg(ns, name), data, client_key);
}

} // namespace TQJrpc
