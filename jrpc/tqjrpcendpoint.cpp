#include "tqjrpcendpoint.h"

#include "tqjrpcextractobjects.h"

namespace TQJrpc {

TQJrpcEndpoint::TQJrpcEndpoint(QSharedPointer<TQJrpcSocketInterface> socket,
                               QSharedPointer<TQJrpcLoggerBase> logger, QObject *parent)
    : QObject(parent), m_logger(std::move(logger)), m_socket(std::move(socket))
{
    TQJrpcSocketInterface *s = m_socket.data();
    connect(s, &TQJrpcSocketInterface::socketConnected, this, &TQJrpcEndpoint::socketConnected);
    connect(s, &TQJrpcSocketInterface::socketDisconnected, this,
            &TQJrpcEndpoint::socketDisconnected);
    connect(s, &TQJrpcSocketInterface::dataReceived, this, &TQJrpcEndpoint::dataReady);
    connect(s, &TQJrpcSocketInterface::socketError, this, &TQJrpcEndpoint::socketError);
}

TQJrpcEndpoint::~TQJrpcEndpoint()
{
    if (m_socket)
        m_socket->disconnect(this);
    m_socket.reset();
    m_logger.reset();
}

void TQJrpcEndpoint::sendDocument(const QJsonDocument &document)
{
    m_socket->send(document.toJson(QJsonDocument::Indented));
}

void TQJrpcEndpoint::dataReady(const QByteArray &bytes, const QString &client_key)
{
    m_buffer.append(bytes);
    Extraction extraction = extractObjects(m_buffer, m_scan);
    m_buffer = std::move(extraction.rest);
    if (extraction.malformed)
        m_logger->logError(QStringLiteral("Malformed request"));
    for (const QJsonObject &object : extraction.objects)
        emit jsonObjectReceived(object, client_key);
}

} // namespace TQJrpc
