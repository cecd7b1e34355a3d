#include "usbdriversetupfactory.h"

#include "compositedriversetup.h"
#include "generatorlogsink.h"
#include "win32devicenodesource_win.h"

#include <halyard.h>

#include <QDebug>

std::unique_ptr<UsbDriverSetup> createUsbDriverSetup()
{
    return std::make_unique<CompositeDriverSetup>(
        std::make_unique<Win32DeviceNodeSource>(&halyard, &generatorLogSink),
        usbDriverPackageFolder().toStdString(),
        [](const std::string &line) { qDebug().noquote() << QString::fromStdString(line); });
}
