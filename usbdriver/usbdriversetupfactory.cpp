#include "usbdriversetupfactory.h"

#include <QStandardPaths>

QString usbDriverPackageFolder()
{
    return QStringLiteral("%1/usbDriver")
        .arg(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
}
