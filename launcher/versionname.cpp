#include "versionname.h"

namespace {

bool isPlainNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' ||
           u == '_' || u == '-';
}

} // namespace

bool isPlainVersionName(const QString &version)
{
    if (version.isEmpty() || version == QLatin1String(".") || version == QLatin1String(".."))
        return false;
    for (const QChar c : version) {
        if (!isPlainNameChar(c))
            return false;
    }
    return true;
}
