#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>

// The process-wide message handler: every message becomes one line of the daily file
// "<executable folder>/log/yyyy-MM-dd.log". The file is opened and closed per message, so the
// folder may be deleted while the program runs and lines from different threads stay whole.
void fileMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// The folder that holds the daily files of the running executable.
QString logFolder();

// "yyyy-MM-dd hh:mm:ss [TAG] message", without the line end; nothing for an unknown type.
std::optional<QString> formatLogLine(QtMsgType type, const QDateTime &now, const QString &message);

// Appends one line to the file of `now`'s day in `folder`, creating the folder when missing.
// A folder or file that cannot be written loses the message without a report.
void appendLogLine(const QString &folder, QtMsgType type, const QDateTime &now,
                   const QString &message);

// Removes the daily files in `folder` whose day lies more than `keepDays` days before `today`.
// Files not named like a day are left alone.
void removeExpiredLogFiles(const QString &folder, const QDate &today, int keepDays = 30);
