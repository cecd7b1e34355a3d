#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The JSON-RPC 2.0 objects that cross the wire between the page and the program. Pure functions:
// the server reads requests and builds replies with them, nothing here keeps state.
namespace TQJrpc {

// A request reduced to what travels inside the program (the arguments of recvResquest).
struct ParsedRequest
{
    bool valid = false;         // "jsonrpc" is exactly "2.0"
    bool methodMissing = false; // the qualified method name is empty
    QString requestId;          // the "id" string; empty when absent or not a string
    QString method_ns;
    QString method;
    QJsonValue data; // "params" as sent; undefined when absent
    QString client_key;
};

// Splits at the last occurrence of the separator; a separator at position 0, a missing one or an
// empty separator leaves the namespace empty and the whole name as the method.
void splitMethod(const QString &qualified, const QString &separator, QString *method_ns,
                 QString *method);

ParsedRequest parseRequest(const QJsonObject &request, const QString &separator,
                           const QString &client_key);

// {"id", "jsonrpc": "2.0", "result": {"data": data}}
QJsonObject makeResponse(const QString &requestId, const QJsonValue &data);

// The service's error object (members kept) with "jsonrpc" and "id" set over it.
QJsonObject makeErrResponse(const QString &request_id, const QJsonValue &error);

// {"jsonrpc": "2.0", "method", "params"}; the caller sends nothing when method is empty.
QJsonObject makeNotification(const QString &method, const QJsonValue &data);

} // namespace TQJrpc
