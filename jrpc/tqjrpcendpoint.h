#pragma once

#include "tqjrpcextractobjects.h"
#include "tqjrpcloggerbase.h"
#include "tqjrpcsocketinterface.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>

namespace TQJrpc {

// One connected page: owns its socket, reassembles the received text into JSON objects and sends
// documents back. Knows nothing of JSON-RPC.
class TQJrpcEndpoint : public QObject
{
    Q_OBJECT
public:
    TQJrpcEndpoint(QSharedPointer<TQJrpcSocketInterface> socket,
                   QSharedPointer<TQJrpcLoggerBase> logger, QObject *parent = nullptr);
    ~TQJrpcEndpoint() override;

    void sendDocument(const QJsonDocument &document);

    // What is held of an object not yet complete.
    QByteArray buffer() const { return m_buffer; }

signals:
    void jsonObjectReceived(const QJsonObject &obj, const QString &client_key);
    void socketConnected(QObject *socket);
    void socketDisconnected(const QString &client_key);
    void socketError(QObject *socket, QAbstractSocket::SocketError error);

private slots:
    void dataReady(const QByteArray &bytes, const QString &client_key);

private:
    QSharedPointer<TQJrpcLoggerBase> m_logger;
    QSharedPointer<TQJrpcSocketInterface> m_socket;
    QByteArray m_buffer;
    ScanState m_scan;
};

} // namespace TQJrpc
