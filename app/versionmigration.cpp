#include "versionmigration.h"

#include "versionname.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace {

const QDir::Filters kEntries = QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden;

// Whether `previous` may be copied from and removed: a plain folder name beside `appDir` that is
// not the running installation itself (also not under another spelling of its name).
bool isRemovablePreviousVersion(const QString &appDir, const QString &previous,
                                const QString &runningVersion)
{
    if (!isPlainVersionName(previous) || previous == runningVersion)
        return false;
    const QString previousDir =
        QDir(QStringLiteral("%1/../%2").arg(appDir, previous)).canonicalPath();
    return previousDir.isEmpty() || previousDir != QDir(appDir).canonicalPath();
}

bool isLink(const QFileInfo &entry)
{
    return entry.isSymLink() || entry.isJunction();
}

bool removeEntry(const QFileInfo &entry)
{
    if (QFile::remove(entry.filePath()))
        return true;
    qDebug() << "Failed to delete file: " << entry.filePath();
    return false;
}

} // namespace

void migrateFromPreviousVersion(const QString &appDir, const QString &runningVersion)
{
    QSettings launcherIni(QStringLiteral("%1/../%2").arg(appDir, QStringLiteral("launcher.ini")),
                          QSettings::IniFormat);
    const QString previous = launcherIni.value(QStringLiteral("last_launcher_ver")).toString();
    if (previous.isEmpty())
        return;

    const bool safe = isRemovablePreviousVersion(appDir, previous, runningVersion);
    const QString previousDir = QStringLiteral("%1/../%2").arg(appDir, previous);
    bool settingsTaken = false;
    if (safe) {
        const QString previousSettings = previousDir + QStringLiteral("/AmperlaneSettings");
        settingsTaken =
            !QDir(previousSettings).exists() ||
            copyDirectory(previousSettings, QStringLiteral("%1/AmperlaneSettings").arg(appDir));
    }
    launcherIni.setValue(QStringLiteral("last_launcher_ver"), QString());
    if (!safe)
        return;
    QFile::remove(QStringLiteral("%1/../%2.zip").arg(appDir, runningVersion));
    // The previous folder holds every user's settings and histories: it goes only once they are
    // all here.
    if (settingsTaken)
        removeDirectory(previousDir);
    else
        qDebug() << "Previous version kept, its settings were not all copied:"
                 << QDir::cleanPath(previousDir);
}

bool copyDirectory(const QString &source, const QString &destination)
{
    const QDir sourceDir(source);
    if (!sourceDir.exists()) {
        qDebug() << "Source directory does not exist!";
        return false;
    }
    if (!QDir().mkpath(destination)) {
        qDebug() << "Failed to create destination directory!";
        return false;
    }
    const QFileInfoList entries = sourceDir.entryInfoList(kEntries, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString from = source + QDir::separator() + entry.fileName();
        const QString to = destination + QDir::separator() + entry.fileName();
        if (entry.isDir()) {
            if (!copyDirectory(from, to))
                return false;
        } else if (!QFile::copy(from, to)) {
            qDebug() << "Failed to copy file: " << from;
            return false;
        }
    }
    return true;
}

bool removeDirectory(const QString &path)
{
    // A link is removed itself, never what it points to: its target belongs to someone else.
    const QFileInfo top(path);
    if (isLink(top))
        return removeEntry(top);
    QDir dir(path);
    if (!dir.exists())
        return true;
    // Sockets, FIFOs and dangling links (NUT's state, a simulator's link) are entries too.
    const QFileInfoList entries = dir.entryInfoList(kEntries | QDir::System);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !isLink(entry)) {
            if (!removeDirectory(entry.filePath()))
                return false;
        } else if (!removeEntry(entry)) {
            return false;
        }
    }
    return dir.rmdir(dir.absolutePath());
}
