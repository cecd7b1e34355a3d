#include "handoffname.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

const char kSocketName[] = "Amperlane";

// A folder only this user can enter: made here, or found as this user's own, not a link, closed
// to group and others.
bool privateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info;
    return ::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

} // namespace

QString handOffServerNameIn(const QString &runtimeDir, const QString &tempDir)
{
    if (!runtimeDir.isEmpty())
        return runtimeDir + QLatin1Char('/') + QLatin1String(kSocketName);
    const QString folder = QStringLiteral("%1/Amperlane-%2").arg(tempDir).arg(::getuid());
    if (!privateFolder(folder))
        return QString();
    return folder + QLatin1Char('/') + QLatin1String(kSocketName);
}

QString handOffServerName()
{
    return handOffServerNameIn(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath());
}
