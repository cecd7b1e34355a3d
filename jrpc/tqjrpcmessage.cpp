#include "tqjrpcmessage.h"

namespace TQJrpc {

namespace {
const QString kVersion = QStringLiteral("2.0");
}

void splitMethod(const QString &qualified, const QString &separator, QString *method_ns,
                 QString *method)
{
    const qsizetype at =
        separator.isEmpty() ? -1 : qualified.lastIndexOf(separator, -1, Qt::CaseSensitive);
    if (at > 0) {
        *method_ns = qualified.left(at);
        *method = qualified.mid(at + separator.size());
    } else {
        method_ns->clear();
        *method = qualified;
    }
}

ParsedRequest parseRequest(const QJsonObject &request, const QString &separator,
                           const QString &client_key)
{
    ParsedRequest parsed;
    const QJsonValue tag = request.value(QStringLiteral("jsonrpc"));
    parsed.valid = tag.isString() && tag.toString() == kVersion;
    if (!parsed.valid)
        return parsed;
    const QString qualified = request.value(QStringLiteral("method")).toString();
    parsed.methodMissing = qualified.isEmpty();
    parsed.data = request.value(QStringLiteral("params"));
    parsed.requestId = request.value(QStringLiteral("id")).toString();
    parsed.client_key = client_key;
    splitMethod(qualified, separator, &parsed.method_ns, &parsed.method);
    return parsed;
}

QJsonObject makeResponse(const QString &requestId, const QJsonValue &data)
{
    return QJsonObject{{QStringLiteral("jsonrpc"), kVersion},
                       {QStringLiteral("id"), requestId},
                       {QStringLiteral("result"), QJsonObject{{QStringLiteral("data"), data}}}};
}

QJsonObject makeErrResponse(const QString &request_id, const QJsonValue &error)
{
    QJsonObject response = error.toObject();
    response.insert(QStringLiteral("jsonrpc"), kVersion);
    response.insert(QStringLiteral("id"), request_id);
    return response;
}

QJsonObject makeNotification(const QString &method, const QJsonValue &data)
{
    return QJsonObject{{QStringLiteral("jsonrpc"), kVersion},
                       {QStringLiteral("method"), method},
                       {QStringLiteral("params"), data}};
}

} // namespace TQJrpc
