#include "amperlanejrpcservice.h"

#include "amperlanesettings.h"
#include "amperlaneversion.h"
#include "compositebussiness.h"
#include "httpcontroller.h"
#include "lowpowershutdown.h"
#include "nutbussiness.h"
#include "selftestrecordfile.h"
#include "serialport.h"
#include "softwareupdate.h"
#ifdef AMPERLANE_USB_DRIVER_CHECK
#include "usbdrivercheck.h"
#include "usbdriversetupfactory.h"
#endif

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QJsonArray>
#include <QThread>
#include <QUrl>

namespace {

QString text(const QJsonObject &params, const char *key)
{
    return params.value(QLatin1String(key)).toString();
}

bool flag(const QJsonObject &params, const char *key)
{
    return params.value(QLatin1String(key)).toBool();
}

// The station simulator stands in for the station on Linux: its variables file makes the
// installation's NUT scripts serve it through dummy-ups, and its serial pseudo-terminal is linked
// beside that file.
bool simulatedStationServed(const QString &nutStateDir)
{
#ifdef Q_OS_WIN
    Q_UNUSED(nutStateDir);
    return false;
#else
    return QFile::exists(nutStateDir + QStringLiteral("/nutdev1.dev"));
#endif
}

} // namespace

AmperlaneJrpcService::AmperlaneJrpcService(std::shared_ptr<AmperlaneSettings> settings,
                                           SetDeviceDetailPageFn setDeviceDetailPage,
                                           QObject *parent, QString appDir,
                                           CommandRunner shutdownRunner)
    : TQJrpc::TQJrpcServiceBase(QString(), parent), worker(new QThread(this)),
      settings(std::move(settings)), shutdownRunner(std::move(shutdownRunner)),
      setDeviceDetailPage(std::move(setDeviceDetailPage)),
      appDir(appDir.isEmpty() ? QCoreApplication::applicationDirPath() : std::move(appDir))
{
    moveToThread(worker);
    // Both run in the worker: _init before its event loop handles any queued request, and the
    // release as the thread ends, so the back ends die in the thread that made them.
    connect(worker, &QThread::started, this, &AmperlaneJrpcService::_init, Qt::DirectConnection);
    connect(worker, &QThread::finished, this, &AmperlaneJrpcService::_release,
            Qt::DirectConnection);
    worker->start(QThread::InheritPriority);
}

AmperlaneJrpcService::~AmperlaneJrpcService()
{
    // The worker owns objects that go with this service, so it must have ended first, however
    // long that takes. An update is what could hold it (a download of up to 30 minutes, an unpack
    // of up to 30 s): it is cancelled. Everything else the worker does ends within seconds once
    // it is asked to quit.
    if (SoftwareUpdate *update = updaterForTeardown.load())
        update->cancel();
    worker->quit();
    worker->wait();
}

void AmperlaneJrpcService::_init()
{
    const NotifyFn notifyFn = [this](const QString &ns, const QString &name,
                                     const QJsonValue &value) { notify(ns, name, value); };
    nutMonitor = std::make_shared<NutBussiness>(notifyFn, setDeviceDetailPage, settings, nullptr);
    const QString recordDir = appDir;
    device = std::make_shared<CompositeBussiness>(
        notifyFn,
        [recordDir](const QString &sn) {
            return std::make_shared<SelfTestRecordFile>(sn, recordDir);
        },
        nullptr);
    downloader = std::make_shared<HttpController>(nullptr);
    updater = std::make_shared<SoftwareUpdate>(*downloader, notifyFn, appDir);
    updaterForTeardown = updater.get();
    connect(updater.get(), &SoftwareUpdate::sigQuit, this, &AmperlaneJrpcService::sigQuit);

    connect(nutMonitor.get(), &NutBussiness::sigShowWindowOnTop, this,
            &AmperlaneJrpcService::sigShowWindowOnTop);
    CompositeBussiness *deviceLogic = device.get();
    connect(nutMonitor.get(), &NutBussiness::sigDevConnected, this,
            [deviceLogic](const QString &sn) { deviceLogic->onDevConnected(sn); });
    connect(nutMonitor.get(), &NutBussiness::sigDevDisconnected, this,
            [deviceLogic] { deviceLogic->onDevDisconnected(); });
    connect(nutMonitor.get(), &NutBussiness::sigIsOnBattery, this,
            [deviceLogic](bool status) { deviceLogic->onIsOnBattery(status); });
    // The device logic runs in this thread, the monitor reads the value in its own.
    NutBussiness *monitor = nutMonitor.get();
    connect(
        deviceLogic, &CompositeBussiness::sigChargeLowReal, this,
        [monitor](int percent) { monitor->setStationChargeLow(percent); }, Qt::DirectConnection);
    _initLowPowerShutdown(notifyFn);
    _initLocalStepCheck(notifyFn);
    nutMonitor->start(QThread::InheritPriority);
}

void AmperlaneJrpcService::_initLowPowerShutdown(const NotifyFn &notifyFn)
{
    lowPowerShutdown = std::make_shared<LowPowerShutdown>(notifyFn, shutdownRunner);
    LowPowerShutdown *shutdown = lowPowerShutdown.get();
    connect(shutdown, &LowPowerShutdown::sigShutdownResult, this,
            &AmperlaneJrpcService::sigShutdownResult, Qt::DirectConnection);
    // Called in the monitor's thread; the shutdown side takes them into its own.
    NutBussiness *monitor = nutMonitor.get();
    connect(monitor, &NutBussiness::sigLowPowerStage, shutdown, &LowPowerShutdown::stageSent,
            Qt::DirectConnection);
    connect(monitor, &NutBussiness::sigMainsFailed, shutdown, &LowPowerShutdown::mainsFailed,
            Qt::DirectConnection);
    connect(monitor, &NutBussiness::sigMainsBack, shutdown, &LowPowerShutdown::mainsBack,
            Qt::DirectConnection);
    connect(monitor, &NutBussiness::sigWakingUp, shutdown, &LowPowerShutdown::wakingUp,
            Qt::DirectConnection);
}

void AmperlaneJrpcService::_initLocalStepCheck(const NotifyFn &notifyFn)
{
    const QString nutStateDir = settings->folderPath() + QStringLiteral("/nut");
    if (simulatedStationServed(nutStateDir)) {
        // Nothing on USB needs drivers then, and a driver check that finds no station would
        // restart NUT, and so the simulated station, in every step.
        SerialPort::setSimulatedStationLink(nutStateDir + QStringLiteral("/nutdev1.tty"));
        return;
    }
#ifdef AMPERLANE_USB_DRIVER_CHECK
    UsbDriverCheck::install(*nutMonitor, createUsbDriverSetup(), notifyFn);
#else
    Q_UNUSED(notifyFn);
#endif
}

void AmperlaneJrpcService::_release()
{
    SerialPort::setSimulatedStationLink(QString());
    settings.reset();
    device.reset();
    // The monitor's thread ends first: it reports to the shutdown side until then.
    nutMonitor.reset();
    lowPowerShutdown.reset();
    updaterForTeardown = nullptr;
    updater.reset();
    downloader.reset();
}

void AmperlaneJrpcService::notify(const QString &ns, const QString &name, const QJsonValue &value)
{
    emitNotification(ns, name, value, QString());
}

void AmperlaneJrpcService::_recvResquest(const QString &requestId, const QString &method_ns,
                                         const QString &method, const QJsonValue &data,
                                         const QString &client_key)
{
    answer(requestId, method_ns, method, data.toObject(), client_key);
}

bool AmperlaneJrpcService::answer(const QString &requestId, const QString &ns,
                                  const QString &method, const QJsonObject &params,
                                  const QString &client_key)
{
    const auto reply = [&](const QJsonValue &result) {
        emit sendResponse(requestId, result, client_key);
        return true;
    };
    const auto is = [&](const char *wantedNs, const char *wantedMethod) {
        return ns == QLatin1String(wantedNs) && method == QLatin1String(wantedMethod);
    };

    if (is("connectModeParam", "getSettings"))
        return reply(settings->readConnectModeParam());
    if (is("connectModeParam", "setSettings")) {
        settings->writeConnectModeParam(params);
        return reply(true);
    }
    if (is("connectModeParam", "setEnableConnectStatus")) {
        nutMonitor->setEnabled(flag(params, "enable"));
        return reply(true);
    }

    if (is("homePage", "getModeAndFirmwareVersion"))
        return reply(device->getModeAndFirmwareVersion(nutMonitor->deviceModel()));
    if (is("homePage", "selfTest")) {
        // Answered when the station reports the outcome; never when the device logic drops it.
        device->selfTest([this, requestId, client_key](const QJsonValue &result) {
            emit sendResponse(requestId, result, client_key);
        });
        return true;
    }
    if (is("homePage", "getLast100TurnOffChargeTime"))
        return reply(nutMonitor->last100TurnOffChargeTime());
    if (is("homePage", "getLastSelfTestTime"))
        return reply(device->getLastSelfTestTime());

    if (is("batterySetting", "getSettingParam"))
        return reply(settings->readBatterySetting());
    if (is("batterySetting", "setSettingParam"))
        return reply(applyBatterySetting(params));
    if (is("batterySetting", "getBatteryChargeLow"))
        return reply(nutMonitor->batteryChargeLow());

    if (is("global", "getDeviceSn"))
        return reply(nutMonitor->deviceSn());
    if (is("global", "softwareUpdate")) {
        _softwareUpdate(text(params, "version"), text(params, "ossurl"), text(params, "md5"));
        return reply(true);
    }
    if (is("global", "shutdown")) {
        // Answered when the command has started and not failed within its first seconds.
        lowPowerShutdown->requestShutdown([this, requestId, client_key](bool ok) {
            emit sendResponse(requestId, ok, client_key);
        });
        return true;
    }
    if (is("global", "cancelLowPowerShutdown")) {
        lowPowerShutdown->cancelCountdown();
        return reply(true);
    }
    if (is("global", "getSystemInfoAndVersion"))
        return reply(device->getSystemInfoAndVersion());
    if (is("global", "getVersion"))
        return reply(QString::fromLatin1(kApplicationVersion));
    if (is("global", "enableNotify") || is("global", "disableNotify")) {
        const bool enable = method == QLatin1String("enableNotify");
        const QString page = text(params, "pageName");
        device->setNotifyPage(page, enable);
        nutMonitor->setNotifyPage(page, enable);
        return reply(true);
    }
    if (is("global", "openByDefaultApp"))
        return reply(QDesktopServices::openUrl(QUrl(text(params, "url"), QUrl::TolerantMode)));
    if (is("global", "websocketConnected")) {
        nutMonitor->setWebsocketConnected();
        return reply(true);
    }
    if (is("global", "getShowWinUsbDriverInstallLoading"))
        return reply(nutMonitor->isUsbDriverInstalling());
    if (is("global", "getLowPowerTip"))
        return reply(nutMonitor->lastLowPowerTip());
    if (is("global", "getLowPowerShutdown"))
        return reply(nutMonitor->lastLowPowerShutdown());
    if (is("global", "usbDriverInstall")) {
        nutMonitor->setEnabled(true);
        return reply(true);
    }
    return false;
}

void AmperlaneJrpcService::_softwareUpdate(const QString &version, const QString &ossurl,
                                           const QString &md5)
{
    updater->run(version, ossurl, md5);
}

bool AmperlaneJrpcService::applyBatterySetting(const QJsonObject &params)
{
    if (!batterySettingInRange(params)) {
        qWarning() << "battery settings out of range, not stored:" << params;
        return false;
    }
    const QString group = QStringLiteral("batterySetting");
    const int storedTip = settings->value(group, QStringLiteral("lowPowerTipValue"), 5).toInt();
    const int storedShutdown =
        settings->value(group, QStringLiteral("lowPowerShutdownValue"), 4).toInt();
    const int newTip = params.value(QLatin1String("lowPowerTipValue")).toInt();
    const int newShutdown = params.value(QLatin1String("lowPowerShutdownValue")).toInt();
    settings->writeBatterySetting(params);
    if (newTip != storedTip)
        nutMonitor->rearmLowPowerTip();
    if (newShutdown != storedShutdown)
        nutMonitor->rearmLowPowerShutdown();
    return true;
}
