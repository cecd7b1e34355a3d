#pragma once

#include <QList>
#include <QString>

// A small append-only history of one power station: one event per line in
// <application folder>/AmperlaneSettings/<home folder name>/<serial number>/<file name>.
// The file is opened only inside each operation, so readers on other threads see it before or
// after a new line, never half of it.
class TimeRecord
{
public:
    // `appDir` is the application folder; empty means the executable's folder.
    TimeRecord(const QString &fileName, const QString &sn, const QString &appDir = QString());

    // At most the last `n` lines, oldest first; empty when the file is missing or unreadable.
    QList<QString> readLastLines(int n) const;
    // The last line; empty when the file is missing, unreadable or empty.
    QString readLastLine() const;
    void appendLine(const QString &text);

    QString filePath() const { return m_path; }

private:
    QString m_path;
};

// The folder name a serial number gets. The serial comes from the station or from a NUT server on
// the network, so path separators and "."/".." are replaced: a serial can never lead the record out
// of the user's folder. An empty serial stays empty (the record then sits in the user's folder).
QString timeRecordFolderName(const QString &sn);
