// The answer of the update server: a package, or a JSON status envelope. A JSON object must never
// be taken for a package, whatever it holds.

#include "fuzzsupport.h"
#include "statusenvelope.h"

#include <QJsonDocument>

#include <cstdint>

FUZZ_QUIET_QT_MESSAGES

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray body(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1));
    const bool requestOk = data[0] & 1;
    const int status = (data[0] & 2) ? 200 : 404;

    QJsonValue value;
    int envelopeStatus = status;
    QString message;
    const bool success = parseStatusEnvelope(body, value, envelopeStatus, message);
    if (success)
        FUZZ_CHECK(envelopeStatus == 200);

    QString error;
    const QByteArray package = readDownloadAnswer(requestOk, body, status, QString(), error);
    if (QJsonDocument::fromJson(body).isObject())
        FUZZ_CHECK(package.isEmpty());
    if (!requestOk)
        FUZZ_CHECK(package.isEmpty() && !error.isEmpty());
    return 0;
}
