#pragma once

#include <QFile>
#include <QString>

// The process id a daemon wrote to its pid file; 0 when there is none.
inline qint64 pidFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}
