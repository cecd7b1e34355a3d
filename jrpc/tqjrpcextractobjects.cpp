#include "tqjrpcextractobjects.h"

#include <QJsonDocument>

namespace TQJrpc {

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

qsizetype leadingSpace(const QByteArray &bytes, qsizetype from = 0)
{
    qsizetype first = from;
    while (first < bytes.size() && isAsciiSpace(bytes.at(first)))
        ++first;
    return first - from;
}

// Only leading white space is cut: trailing white space may belong to a string whose object
// continues in the next message.
QByteArray trimLeading(const QByteArray &bytes)
{
    return bytes.mid(leadingSpace(bytes));
}

} // namespace

Extraction extractObjects(const QByteArray &received, ScanState &state)
{
    Extraction result;
    // A kept rest never starts with white space, so the scan positions stay where they were.
    const QByteArray buffer = trimLeading(received);
    if (!buffer.startsWith('{')) {
        state = ScanState();
        result.malformed = true;
        return result;
    }

    qsizetype start = 0; // first byte not yet consumed
    for (qsizetype i = state.scanned; i < buffer.size();) {
        const char c = buffer.at(i++);
        if (c == '"' && !state.escaped) {
            state.inString = !state.inString;
        } else if (state.inString) {
            state.escaped = (c == '\\' && !state.escaped);
        } else if (c == '{') {
            if (state.depth++ == 0)
                state.objectStart = i - 1;
        } else if (c == '}' && --state.depth == 0) {
            // Whatever lies between two objects (a comma, blanks) is skipped.
            const QJsonDocument doc =
                QJsonDocument::fromJson(buffer.mid(state.objectStart, i - state.objectStart));
            if (doc.isObject())
                result.objects.append(doc.object());
            start = i;
        }
    }

    // The rest begins after the last complete object, without the white space that follows it;
    // the scan state moves with it.
    const qsizetype cut = start == 0 ? 0 : start + leadingSpace(buffer, start);
    result.rest = cut == 0 ? buffer : buffer.mid(cut);
    state.scanned = result.rest.size();
    state.objectStart -= cut;
    if (result.rest.isEmpty()) {
        state = ScanState();
    } else if (result.rest.size() > kMaxPendingBytes) {
        result.rest.clear();
        result.malformed = true;
        state = ScanState();
    }
    return result;
}

Extraction extractObjects(const QByteArray &buffer)
{
    ScanState state;
    return extractObjects(buffer, state);
}

} // namespace TQJrpc
