#pragma once

#include "notify.h"
#include "nutbussiness.h"

#include <memory>

class UsbDriverSetup;

// Opens every local monitoring step: the NUT server on this PC sees the power station only once
// its composite USB device has its drivers (the composite parent, the NUT driver's interface 00,
// the serial interface 01). Installs what is missing, tells the page that an installation runs
// and how it ended, and pauses the monitor after a failed installation until the page resumes it.
class UsbDriverCheck
{
public:
    UsbDriverCheck(NutBussiness &monitor, std::unique_ptr<UsbDriverSetup> setup, NotifyFn notify);
    ~UsbDriverCheck();

    // Makes a new check the monitor's local step check; call before the monitor starts.
    static void install(NutBussiness &monitor, std::unique_ptr<UsbDriverSetup> setup,
                        NotifyFn notify);

    // Runs on the monitor thread and blocks it for the whole installation and NUT restart.
    LocalStepCheck checkUsbDrivers();

private:
    void _startInstalling();
    LocalStepCheck _installFailed();

    NutBussiness &m_monitor;
    std::unique_ptr<UsbDriverSetup> m_setup;
    NotifyFn m_notify;
};
