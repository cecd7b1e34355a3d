#pragma once

#include <QString>
#include <QUrl>

// The address of the installation's page: the local file "<appDir>/build/index.html" with the
// fragment "/us/connect-mode?lang=<language>".
QUrl pageUrl(const QString &appDir, const QString &language);
