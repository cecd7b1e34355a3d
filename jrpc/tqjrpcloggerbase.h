#pragma once

#include <QString>

namespace TQJrpc {

// Where the framework's protocol log lines go; the framework itself writes only info and error.
class TQJrpcLoggerBase
{
public:
    virtual ~TQJrpcLoggerBase() = default;
    virtual void logDebug(const QString &text) = 0;
    virtual void logInfo(const QString &text) = 0;
    virtual void logWarning(const QString &text) = 0;
    virtual void logError(const QString &text) = 0;
};

} // namespace TQJrpc
