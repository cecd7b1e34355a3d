#include "timerecord.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTextStream>

QString timeRecordFolderName(const QString &sn)
{
    if (sn == QLatin1String(".") || sn == QLatin1String(".."))
        return QStringLiteral("_");
    QString name = sn;
    for (QChar &c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c == QChar(0))
            c = QLatin1Char('_');
    }
    return name;
}

TimeRecord::TimeRecord(const QString &fileName, const QString &sn, const QString &appDir)
{
    const QString app = appDir.isEmpty() ? QCoreApplication::applicationDirPath() : appDir;
    qDebug() << "TimeRecord" << app;
    const QString folder = QStringLiteral("%1/%2/%3/%4")
                               .arg(app, QStringLiteral("AmperlaneSettings"),
                                    QDir::home().dirName(), timeRecordFolderName(sn));
    m_path = QStringLiteral("%1/%2").arg(folder, fileName);
    QDir dir(folder);
    qDebug() << "TimeRecord dir" << dir.absolutePath();
    if (!dir.exists())
        qDebug() << "make TimeRecord dir" << dir.mkpath(QStringLiteral("."));
}

QList<QString> TimeRecord::readLastLines(int n) const
{
    QList<QString> lines;
    QFile file(m_path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    QTextStream stream(&file);
    QString line;
    while (stream.readLineInto(&line)) {
        lines.append(line);
        if (lines.size() > n)
            lines.removeFirst();
    }
    return lines;
}

QString TimeRecord::readLastLine() const
{
    QString last;
    QFile file(m_path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return last;
    QTextStream stream(&file);
    QString line;
    while (stream.readLineInto(&line))
        last = line;
    return last;
}

void TimeRecord::appendLine(const QString &text)
{
    QFile file(m_path);
    const QIODevice::OpenMode mode = file.exists() ? QIODevice::Append | QIODevice::Text
                                                   : QIODevice::WriteOnly | QIODevice::Text;
    if (!file.open(mode))
        return;
    QTextStream stream(&file);
    stream << text << Qt::endl;
}
