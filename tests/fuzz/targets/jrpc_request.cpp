// What a page connection receives: text messages cut into JSON objects (with the unfinished rest
// carried into the next message, as the endpoint does) and each object read as a request. The
// scan the endpoint resumes finds what a scan from the start finds.

#include "fuzzsupport.h"
#include "tqjrpcextractobjects.h"
#include "tqjrpcmessage.h"

#include <cstdint>

FUZZ_QUIET_QT_MESSAGES

namespace {

void readRequests(const TQJrpc::Extraction &extraction)
{
    FUZZ_CHECK(extraction.rest.size() <= TQJrpc::kMaxPendingBytes);
    FUZZ_CHECK(!(extraction.malformed && !extraction.rest.isEmpty()));
    for (const QJsonObject &object : extraction.objects) {
        const TQJrpc::ParsedRequest request =
            TQJrpc::parseRequest(object, QStringLiteral("."), QStringLiteral("127.0.0.1:50000"));
        if (!request.valid || request.methodMissing)
            continue;
        const QString qualified = object.value(QStringLiteral("method")).toString();
        FUZZ_CHECK((request.method_ns.isEmpty()
                        ? request.method
                        : request.method_ns + '.' + request.method) == qualified);
        TQJrpc::makeResponse(request.requestId, request.data);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1));
    const int split = data[0] % (static_cast<int>(text.size()) + 1);

    const TQJrpc::Extraction first = TQJrpc::extractObjects(text.left(split));
    readRequests(first);
    const TQJrpc::Extraction second = TQJrpc::extractObjects(first.rest + text.mid(split));
    readRequests(second);

    // The endpoint resumes its scan where the first message left it; it must find the same.
    TQJrpc::ScanState scan;
    const TQJrpc::Extraction resumedFirst = TQJrpc::extractObjects(text.left(split), scan);
    const TQJrpc::Extraction resumedSecond =
        TQJrpc::extractObjects(resumedFirst.rest + text.mid(split), scan);
    FUZZ_CHECK(resumedFirst.objects == first.objects && resumedFirst.rest == first.rest);
    FUZZ_CHECK(resumedSecond.objects == second.objects && resumedSecond.rest == second.rest &&
               resumedSecond.malformed == second.malformed);
    return 0;
}
