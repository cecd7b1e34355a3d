#pragma once

#include <QString>

// Logs a UPS variable that cannot be read once when it first appears and once when it goes away,
// never every second.
class UnreadableValueLog
{
public:
    explicit UnreadableValueLog(QString name) : m_name(std::move(name)) {}

    void report(bool readable, const QString &text);

private:
    QString m_name;
    bool m_unreadable = false;
};
