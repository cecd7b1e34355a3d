#pragma once

#include "commandrunner.h"
#include "notify.h"
#include "tqjrpcservicebase.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class AmperlaneSettings;
class CompositeBussiness;
class HttpController;
class LowPowerShutdown;
class NutBussiness;
class QThread;
class SoftwareUpdate;

// The application's one JSON-RPC service: answers every method the page calls (namespaces
// connectModeParam, homePage, batterySetting and global) and relays the notifications of the NUT
// monitor and the device logic to every page. Runs in a worker thread of its own, which also
// owns the device link, the HTTP download and the software update.
class AmperlaneJrpcService : public TQJrpc::TQJrpcServiceBase
{
    Q_OBJECT
public:
    using SetDeviceDetailPageFn = std::function<void(bool)>;

    // The service moves itself into its worker thread, so `parent` must stay null. `appDir` is
    // the application folder (update paths, self-test records); empty means the executable's.
    // `shutdownRunner` starts the system's shutdown command; tests give one that starts nothing.
    AmperlaneJrpcService(std::shared_ptr<AmperlaneSettings> settings,
                         SetDeviceDetailPageFn setDeviceDetailPage, QObject *parent = nullptr,
                         QString appDir = QString(),
                         CommandRunner shutdownRunner = processCommandRunner());
    ~AmperlaneJrpcService() override;

signals:
    void sigShowWindowOnTop();
    void sigQuit();
    // Every attempt to switch the PC off at low battery, by the page or by the deadline.
    void sigShutdownResult(bool ok, const QString &reason);

private slots:
    void _recvResquest(const QString &requestId, const QString &method_ns, const QString &method,
                       const QJsonValue &data, const QString &client_key) override;

private:
    void _init();
    // The USB driver check of the local monitoring step, or the simulated station's serial link.
    void _initLocalStepCheck(const NotifyFn &notifyFn);
    void _initLowPowerShutdown(const NotifyFn &notifyFn);
    void _release();
    void _softwareUpdate(const QString &version, const QString &ossurl, const QString &md5);
    // False, with nothing stored, when a value is out of range.
    bool applyBatterySetting(const QJsonObject &params);
    // Handles one request; false when the method is not one of this service's.
    bool answer(const QString &requestId, const QString &method_ns, const QString &method,
                const QJsonObject &params, const QString &client_key);
    void notify(const QString &ns, const QString &name, const QJsonValue &value);

    QThread *worker;
    std::shared_ptr<AmperlaneSettings> settings;
    std::shared_ptr<CompositeBussiness> device;
    std::shared_ptr<NutBussiness> nutMonitor;
    std::shared_ptr<LowPowerShutdown> lowPowerShutdown;
    CommandRunner shutdownRunner;
    SetDeviceDetailPageFn setDeviceDetailPage;
    std::shared_ptr<HttpController> downloader;
    std::shared_ptr<SoftwareUpdate> updater;
    // The updater, for the destructor to reach from the application's thread: set once it
    // exists, cleared before it goes.
    std::atomic<SoftwareUpdate *> updaterForTeardown{nullptr};
    QString appDir;
};
