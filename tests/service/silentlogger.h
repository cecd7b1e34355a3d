#pragma once

#include "tqjrpcloggerbase.h"

// A protocol log that keeps nothing, for servers made by the tests.
class SilentLogger : public TQJrpc::TQJrpcLoggerBase
{
public:
    void logDebug(const QString &) override {}
    void logInfo(const QString &) override {}
    void logWarning(const QString &) override {}
    void logError(const QString &) override {}
};
