#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

// The download server may answer with a JSON status envelope {"code", "message", "data"} instead
// of a package. These functions read such an answer; they need no network.

// Reads an envelope. "code" is a decimal number in a text; a non-zero code replaces `status`, a
// non-empty "message" replaces `message`. True only when "data" is present and the status is 200.
bool parseStatusEnvelope(const QByteArray &body, QJsonValue &value, int &status, QString &message);

// Decides what a GET brought: the package bytes, or empty bytes. A body that is a JSON object is
// never a package. `error` becomes "[status]message" when the request failed or the envelope does
// not report success.
QByteArray readDownloadAnswer(bool requestOk, const QByteArray &body, int status, QString message,
                              QString &error);
