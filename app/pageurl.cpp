#include "pageurl.h"

QUrl pageUrl(const QString &appDir, const QString &language)
{
    QUrl url = QUrl::fromLocalFile(QStringLiteral("%1/build/index.html").arg(appDir));
    url.setFragment(QStringLiteral("/us/connect-mode?lang=%1").arg(language), QUrl::TolerantMode);
    return url;
}
