#include "versionname.h"

#include <QRegularExpression>

namespace {

// CON, PRN, AUX, NUL, COM0 to COM9 and LPT0 to LPT9, also with an extension ("nul.1").
bool isWindowsDeviceName(const QString &name)
{
    static const QRegularExpression device(
        QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

} // namespace

bool isPlainVersionName(const QString &version)
{
    static const QRegularExpression plain(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9._-]+")));
    return plain.match(version).hasMatch() && !version.endsWith(QLatin1Char('.')) &&
           !isWindowsDeviceName(version);
}
