#include "tqjrpcloggerfile.h"

namespace TQJrpc {

TQJrpcLoggerFile::TQJrpcLoggerFile(const QString &fileName) : m_file(fileName)
{
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        m_stream.setDevice(&m_file);
}

TQJrpcLoggerFile::~TQJrpcLoggerFile()
{
    m_stream.flush();
    m_file.close();
}

void TQJrpcLoggerFile::logDebug(const QString &text)
{
    writeLine(text);
}

void TQJrpcLoggerFile::logInfo(const QString &text)
{
    writeLine(text);
}

void TQJrpcLoggerFile::logWarning(const QString &text)
{
    writeLine(text);
}

void TQJrpcLoggerFile::logError(const QString &text)
{
    writeLine(text);
}

void TQJrpcLoggerFile::writeLine(const QString &text)
{
    if (!m_stream.device())
        return;
    // The server lives until the process ends and is never destroyed, so a line left in the
    // stream's buffer would never reach the disk.
    m_stream << text << '\n';
    m_stream.flush();
}

} // namespace TQJrpc
