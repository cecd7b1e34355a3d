#pragma once

#include "notify.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>

class AmperlaneSettings;
class TimeRecord;

// What the USB driver check at the start of a local step found.
struct LocalStepCheck
{
    bool devicePresent = true;
    // false ends the step before NUT is queried.
    bool goOn = true;
};

// Watches the UPS through NUT once a second: decides whether a UPS is connected, identifies it by
// serial number and turns its variables into notifications for the page, including the low-battery
// warnings. Local mode runs the NUT service of this PC; remote mode reads another server.
class NutBussiness : public QThread
{
    Q_OBJECT
public:
    using SetDeviceDetailPageFn = std::function<void(bool)>;
    using LocalStepCheckFn = std::function<LocalStepCheck()>;

    NutBussiness(NotifyFn notify, SetDeviceDetailPageFn setDeviceDetailPage,
                 std::shared_ptr<AmperlaneSettings> settings, QObject *parent = nullptr);
    ~NutBussiness() override;

    // Callable from other threads.
    void setEnabled(bool on);
    void setNotifyPage(const QString &pageName, bool on);
    void setWebsocketConnected();
    bool isUsbDriverInstalling() const;
    QString deviceSn() const;
    QString deviceModel() const;
    QString batteryChargeLow() const;
    QJsonArray last100TurnOffChargeTime() const;
    QJsonObject lastLowPowerTip() const;
    QJsonObject lastLowPowerShutdown() const;
    void rearmLowPowerTip();
    void rearmLowPowerShutdown();

    // The USB driver check that opens every local step; runs on the monitor thread. Set before
    // start(); without one, a local step goes straight to the NUT query.
    void setLocalStepCheck(LocalStepCheckFn check);
    void setUsbDriverInstalling(bool installing);
    bool isDeviceConnected() const;
    bool isQuitRequested() const;

signals:
    void sigDevConnected(QString sn);
    void sigDevDisconnected();
    void sigIsOnBattery(bool status);
    void sigShowWindowOnTop();

protected:
    void run() override;

private:
    enum ConnectState { NoDev = 0, ConnectDev = 3 };

    QString _mode() const;
    void pollOnce(const QString &mode);
    void _pollLocal();
    void _pollRemote();
    void _identify(const QString &sn);
    void _forgetDevice();
    void setConnectStatus(int state);
    void processUpsInfo(const QJsonObject &variables);
    void reportDeviceInfo(const QJsonObject &variables);
    void reportBatteryTime(const QString &runtime);
    void checkBatteryChargeLow(const QJsonObject &variables);
    void checkLowPowerTip(int charge, int low);
    void checkLowPowerShutdown(int charge, int low);
    void _armAll();
    void _setSn(const QString &sn, const QString &model);

    NotifyFn m_notify;
    SetDeviceDetailPageFn m_setDeviceDetailPage;
    std::shared_ptr<AmperlaneSettings> m_settings;
    LocalStepCheckFn m_localStepCheck;

    // Guards the enabled flag with its wake-up and the home-page flag.
    QMutex m_mutex;
    QWaitCondition m_wakeUp;
    // Guards what the service's queries read: texts, payloads and the time record.
    mutable QMutex m_dataMutex;
    std::shared_ptr<TimeRecord> m_timeRecord;
    QString m_sn;
    QString m_model;
    QJsonObject m_lastTip;
    QJsonObject m_lastShutdown;
    QString m_lastChargeLow;

    std::atomic<int> m_connectState{NoDev};
    std::atomic<bool> m_enabled{true};
    bool m_pauseRequested = false; // guarded by m_mutex
    std::atomic<bool> m_quit{false};
    bool m_lastOnBattery = true;
    bool m_lastCharging = false;
    int m_failCount = 0;
    std::atomic<bool> m_tipArmed{true};
    std::atomic<bool> m_shutdownArmed{true};
    std::atomic<bool> m_shutdownNowArmed{true};
    std::atomic<bool> m_homePageNotify{false};
    std::atomic<bool> m_websocketConnected{false};
    std::atomic<bool> m_usbDriverInstalling{false};
};
