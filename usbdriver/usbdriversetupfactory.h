#pragma once

#include "usbdriversetup.h"

#include <QString>

#include <memory>

// The driver setup of this platform, logging to the application log and generating packages
// into "<home>/usbDriver".
std::unique_ptr<UsbDriverSetup> createUsbDriverSetup();

QString usbDriverPackageFolder();
