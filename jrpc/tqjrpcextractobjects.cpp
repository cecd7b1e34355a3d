#include "tqjrpcextractobjects.h"

#include <QJsonDocument>

namespace TQJrpc {

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Only leading white space is cut: trailing white space may belong to a string whose object
// continues in the next message.
QByteArray trimLeading(const QByteArray &bytes)
{
    qsizetype first = 0;
    while (first < bytes.size() && isAsciiSpace(bytes.at(first)))
        ++first;
    return bytes.mid(first);
}

bool isBlank(const QByteArray &bytes)
{
    return trimLeading(bytes).isEmpty();
}

} // namespace

Extraction extractObjects(const QByteArray &received)
{
    Extraction result;
    const QByteArray buffer = trimLeading(received);
    if (!buffer.startsWith('{')) {
        result.malformed = true;
        return result;
    }

    bool inString = false;
    bool escaped = false;
    qsizetype depth = 0;
    qsizetype start = 0;       // first byte not yet consumed
    qsizetype objectStart = 0; // the "{" that opened the current top-level object
    for (qsizetype i = 0; i < buffer.size();) {
        const char c = buffer.at(i++);
        if (c == '"' && !escaped) {
            inString = !inString;
        } else if (inString) {
            escaped = (c == '\\' && !escaped);
        } else if (c == '{') {
            if (depth++ == 0)
                objectStart = i - 1;
        } else if (c == '}' && --depth == 0) {
            // Whatever lies between two objects (a comma, blanks) is skipped.
            const QJsonDocument doc =
                QJsonDocument::fromJson(buffer.mid(objectStart, i - objectStart));
            if (doc.isObject())
                result.objects.append(doc.object());
            start = i;
        }
    }

    result.rest = start == 0 ? buffer : buffer.mid(start);
    if (isBlank(result.rest)) {
        result.rest.clear();
    } else if (result.rest.size() > kMaxPendingBytes) {
        result.rest.clear();
        result.malformed = true;
    }
    return result;
}

} // namespace TQJrpc
