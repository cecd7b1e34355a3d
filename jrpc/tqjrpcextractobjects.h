#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

namespace TQJrpc {

// An endpoint drops an unfinished object once it holds more than this many bytes of it.
constexpr qsizetype kMaxPendingBytes = 1024 * 1024;

struct Extraction
{
    QList<QJsonObject> objects; // complete objects, in stream order
    QByteArray rest;            // bytes to keep for the next message
    bool malformed = false;     // the buffer was thrown away ("Malformed request")
};

// Cuts complete JSON objects out of a connection's received text. The buffer is the previous rest
// with the new message appended. Braces are counted outside strings only; a backslash inside a
// string escapes the one byte after it. Brace-balanced chunks that are not JSON objects are
// dropped quietly; a buffer that does not start with "{" (after leading white space) is dropped
// whole and reported as malformed, and so is an unfinished object past kMaxPendingBytes.
Extraction extractObjects(const QByteArray &buffer);

} // namespace TQJrpc
