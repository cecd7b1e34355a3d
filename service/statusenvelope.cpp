#include "statusenvelope.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

bool parseStatusEnvelope(const QByteArray &body, QJsonValue &value, int &status, QString &message)
{
    if (body.isEmpty()) {
        qDebug() << "Error: recv empty raw data";
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qDebug() << "Error: raw data can not convert to json";
        return false;
    }
    if (!document.isObject()) {
        qDebug() << "Error: raw data can not convert to object";
        return false;
    }
    const QJsonObject envelope = document.object();
    if (envelope.isEmpty()) {
        qDebug() << "Error: invaild object";
        return false;
    }

    const int code = envelope.value(QStringLiteral("code")).toString().toInt();
    if (code != 0)
        status = code;
    const QString text = envelope.value(QStringLiteral("message")).toString();
    if (!text.isEmpty())
        message = text;
    if (!envelope.contains(QStringLiteral("data")))
        return false;
    value = envelope.value(QStringLiteral("data"));
    return status == 200;
}

QByteArray readDownloadAnswer(bool requestOk, const QByteArray &body, int status, QString message,
                              QString &error)
{
    if (!requestOk || QJsonDocument::fromJson(body).isObject()) {
        QJsonValue value;
        const bool envelopeOk = parseStatusEnvelope(body, value, status, message);
        if (!requestOk || !envelopeOk)
            error = QStringLiteral("[%1]%2").arg(status).arg(message);
        return {};
    }
    return body;
}
