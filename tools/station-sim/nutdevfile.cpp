#include "nutdevfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonValue>

#include <cstdio>
#include <sys/stat.h>
#include <utime.h>

namespace {

QString valueText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 12);
    if (value.isBool())
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value.toString();
}

qint64 nextModificationTime(const QString &path)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return now;
    return std::max<qint64>(now, st.st_mtime + 1);
}

} // namespace

QByteArray nutDevFileText(const QJsonObject &variables)
{
    QByteArray text;
    for (auto it = variables.begin(); it != variables.end(); ++it)
        text += it.key().toUtf8() + ": " + valueText(it.value()).toUtf8() + '\n';
    return text;
}

bool writeNutDevFile(const QString &path, const QJsonObject &variables)
{
    const QString temporary = path + QStringLiteral(".tmp");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray text = nutDevFileText(variables);
    const bool written = file.write(text) == text.size();
    file.close();
    if (!written)
        return false;

    const qint64 stamp = nextModificationTime(path);
    struct utimbuf times
    {
    };
    times.actime = static_cast<time_t>(stamp);
    times.modtime = static_cast<time_t>(stamp);
    const QByteArray encodedTemporary = QFile::encodeName(temporary);
    if (::utime(encodedTemporary.constData(), &times) != 0)
        return false;
    return std::rename(encodedTemporary.constData(), QFile::encodeName(path).constData()) == 0;
}
