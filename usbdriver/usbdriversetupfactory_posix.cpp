#include "usbdriversetupfactory.h"

#include "compositedriversetup.h"
#include "sysfsdevicenodesource.h"

#include <QDebug>

std::unique_ptr<UsbDriverSetup> createUsbDriverSetup()
{
    return std::make_unique<CompositeDriverSetup>(
        std::make_unique<SysfsDeviceNodeSource>("/sys"), usbDriverPackageFolder().toStdString(),
        [](const std::string &line) { qDebug().noquote() << QString::fromStdString(line); });
}
