#include "filemessagehandler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

const QString kDayFormat = QStringLiteral("yyyy-MM-dd");

const char *levelTag(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return " [DEBUG] ";
    case QtWarningMsg:
        return " [WARNING] ";
    case QtCriticalMsg:
        return " [CRITICAL] ";
    case QtFatalMsg:
        return " [FATAL] ";
    case QtInfoMsg:
        return " [INFO] ";
    }
    return nullptr;
}

QString dayFilePath(const QString &folder, const QDate &day)
{
    return QStringLiteral("%1/%2.log").arg(folder, day.toString(kDayFormat));
}

} // namespace

QString logFolder()
{
    return QStringLiteral("%1/log").arg(QCoreApplication::applicationDirPath());
}

std::optional<QString> formatLogLine(QtMsgType type, const QDateTime &now, const QString &message)
{
    const char *tag = levelTag(type);
    if (!tag)
        return std::nullopt;
    return now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1String(tag) + message;
}

void appendLogLine(const QString &folder, QtMsgType type, const QDateTime &now,
                   const QString &message)
{
    QDir().mkpath(folder);
    QFile file(dayFilePath(folder, now.date()));
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    if (const auto line = formatLogLine(type, now, message)) {
        QTextStream stream(&file);
        stream << *line << Qt::endl;
    }
}

void fileMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // Before the application object exists there is no executable folder to log into (and asking
    // for it would itself log a warning), so such messages go to the standard error output.
    if (!QCoreApplication::instance()) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    appendLogLine(logFolder(), type, QDateTime::currentDateTime(), message);
}

void removeExpiredLogFiles(const QString &folder, const QDate &today, int keepDays)
{
    const QDate oldestKept = today.addDays(-keepDays);
    QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.log")}, QDir::Files);
    for (const QString &name : names) {
        const QDate day = QDate::fromString(name.chopped(4), kDayFormat);
        if (day.isValid() && day < oldestKept)
            dir.remove(name);
    }
}
