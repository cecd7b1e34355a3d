#pragma once

// What the local monitoring step asks about the power station's USB drivers. All calls are
// synchronous and block the caller for the whole installation.
class UsbDriverSetup
{
public:
    virtual ~UsbDriverSetup() = default;
    // True when the station is present on USB; isComposite becomes true when the system
    // composite-parent driver is bound to it (the caller initialises it to false).
    virtual bool isUsbDevicePresent(bool &isComposite) = 0;
    virtual bool installCompositeDriver() = 0;
    virtual bool areInterfaceDriversReady() = 0;
    virtual bool installInterfaceDrivers() = 0;
};
