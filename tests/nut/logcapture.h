#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

// Collects the program's log messages from every thread while it lives, and passes them on.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QStringList messages() const;
    bool contains(const QString &text) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
};
