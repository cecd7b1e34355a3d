#include "usbdrivercheck.h"

#include "nutcmdexec.h"
#include "usbdriversetup.h"

#include <QDebug>
#include <QJsonObject>
#include <QThread>

namespace {

const QString kGlobal = QStringLiteral("global");
const QString kLoading = QStringLiteral("notifyUsbDriverInstallLoading");
const QString kResult = QStringLiteral("notifyUsbDriverInstallResult");

// The system binds the composite parent's interface nodes after its driver is installed.
constexpr unsigned long kAfterCompositeInstallSeconds = 3;

QJsonObject result(bool status)
{
    return QJsonObject{{QStringLiteral("status"), status}};
}

} // namespace

UsbDriverCheck::UsbDriverCheck(NutBussiness &monitor, std::unique_ptr<UsbDriverSetup> setup,
                               NotifyFn notify)
    : m_monitor(monitor), m_setup(std::move(setup)), m_notify(std::move(notify))
{
}

UsbDriverCheck::~UsbDriverCheck() = default;

void UsbDriverCheck::install(NutBussiness &monitor, std::unique_ptr<UsbDriverSetup> setup,
                             NotifyFn notify)
{
    auto check = std::make_shared<UsbDriverCheck>(monitor, std::move(setup), std::move(notify));
    monitor.setLocalStepCheck([check] { return check->checkUsbDrivers(); });
}

LocalStepCheck UsbDriverCheck::checkUsbDrivers()
{
    bool isComposite = false;
    const bool present = m_setup->isUsbDevicePresent(isComposite);
    if (present) {
        if (!isComposite) {
            _startInstalling();
            if (!m_setup->installCompositeDriver())
                return _installFailed();
            QThread::sleep(kAfterCompositeInstallSeconds);
        }
        // An identified station is served already; its drivers are not looked at again.
        if (!m_monitor.isDeviceConnected() && !m_setup->areInterfaceDriversReady()) {
            if (!m_monitor.isUsbDriverInstalling())
                _startInstalling();
            if (!m_setup->installInterfaceDrivers())
                return _installFailed();
            NutCmdExec::restartNutService();
        }
    }
    if (m_monitor.isUsbDriverInstalling()) {
        m_monitor.setUsbDriverInstalling(false);
        m_notify(kGlobal, kResult, result(true));
    }
    if (m_monitor.isQuitRequested())
        return {present, false};
    // The NUT driver gives up on a station it cannot find; it is started again for when the
    // station comes back.
    if (!present)
        NutCmdExec::restartNutService();
    return {present, true};
}

void UsbDriverCheck::_startInstalling()
{
    m_monitor.setUsbDriverInstalling(true);
    m_notify(kGlobal, kLoading, QJsonObject());
}

LocalStepCheck UsbDriverCheck::_installFailed()
{
    m_monitor.setUsbDriverInstalling(false);
    m_notify(kGlobal, kResult, result(false));
    // No automatic retry: the page offers it (usbDriverInstall), or the user restarts monitoring.
    m_monitor.setEnabled(false);
    qDebug() << "usb driver install failed, monitoring paused";
    return {true, false};
}
