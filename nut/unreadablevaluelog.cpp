#include "unreadablevaluelog.h"

#include <QDebug>

void UnreadableValueLog::report(bool readable, const QString &text)
{
    if (readable == !m_unreadable)
        return;
    m_unreadable = !readable;
    if (m_unreadable)
        qWarning().noquote()
            << QStringLiteral("%1 \"%2\" cannot be read as a percentage").arg(m_name, text);
    else
        qWarning().noquote() << QStringLiteral("%1 can be read again: \"%2\"").arg(m_name, text);
}
