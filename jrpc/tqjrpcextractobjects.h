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

// Where the scan of a connection's kept bytes stopped, so that the next message is scanned from
// there on instead of from the start: a stream that arrives in small pieces costs its length,
// not its length squared.
struct ScanState
{
    qsizetype scanned = 0;     // bytes of the rest already examined
    qsizetype depth = 0;       // brace depth outside strings
    qsizetype objectStart = 0; // the "{" that opened the current top-level object
    bool inString = false;
    bool escaped = false;
};

// Cuts complete JSON objects out of a connection's received text. The buffer is the previous rest
// with the new message appended, and `state` the state that came with that rest (a fresh one for
// an empty rest); it is updated for the new rest. Braces are counted outside strings only; a
// backslash inside a string escapes the one byte after it. Brace-balanced chunks that are not JSON
// objects are dropped quietly; a buffer that does not start with "{" (after leading white space)
// is dropped whole and reported as malformed, and so is an unfinished object past
// kMaxPendingBytes.
Extraction extractObjects(const QByteArray &buffer, ScanState &state);

// The same for a buffer scanned from its start.
Extraction extractObjects(const QByteArray &buffer);

} // namespace TQJrpc
