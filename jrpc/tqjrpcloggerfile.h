#pragma once

#include "tqjrpcloggerbase.h"

#include <QFile>
#include <QTextStream>

namespace TQJrpc {

// Writes every line to a text file that is emptied when the logger opens it, so the file holds
// only the current run. A file that cannot be opened loses the lines and nothing else.
class TQJrpcLoggerFile : public TQJrpcLoggerBase
{
public:
    explicit TQJrpcLoggerFile(const QString &fileName);
    ~TQJrpcLoggerFile() override;

    void logDebug(const QString &text) override;
    void logInfo(const QString &text) override;
    void logWarning(const QString &text) override;
    void logError(const QString &text) override;

private:
    void writeLine(const QString &text);

    QFile m_file;
    QTextStream m_stream;
};

} // namespace TQJrpc
