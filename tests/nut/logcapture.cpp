#include "logcapture.h"

#include <QMutexLocker>

namespace {

QMutex g_mutex;
QStringList g_messages;
QtMessageHandler g_previous = nullptr;

} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_mutex);
    g_messages.clear();
    g_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(g_previous);
}

QStringList LogCapture::messages() const
{
    QMutexLocker lock(&g_mutex);
    return g_messages;
}

bool LogCapture::contains(const QString &text) const
{
    for (const QString &message : messages()) {
        if (message.contains(text))
            return true;
    }
    return false;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&g_mutex);
        g_messages.append(message);
    }
    if (g_previous)
        g_previous(type, context, message);
}
