#pragma once

#include "lowpowerpolicy.h"
#include "monitorclock.h"
#include "notify.h"
#include "nutrestartschedule.h"
#include "unreadablevaluelog.h"
#include "upslinkwatch.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

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
// warnings. Local mode runs the NUT service of this PC, and brings it back when it dies; remote
// mode reads another server. A UPS that goes silent while on battery is reported, and the first
// step after the PC wakes up shows its values without acting on them.
class NutBussiness : public QThread
{
    Q_OBJECT
public:
    using SetDeviceDetailPageFn = std::function<void(bool)>;
    using LocalStepCheckFn = std::function<LocalStepCheck()>;

    NutBussiness(NotifyFn notify, SetDeviceDetailPageFn setDeviceDetailPage,
                 std::shared_ptr<AmperlaneSettings> settings, QObject *parent = nullptr,
                 MonitorClock clock = wallClockMs);
    ~NutBussiness() override;

    // Callable from other threads.
    void setEnabled(bool on);
    void setNotifyPage(const QString &pageName, bool on);
    void setWebsocketConnected();
    bool isUsbDriverInstalling() const;
    QString deviceSn() const;
    QString deviceModel() const;
    // The low level the thresholds use (battery.charge.low, or its fallback); 0 before any.
    int batteryChargeLow() const;
    QJsonArray last100TurnOffChargeTime() const;
    QJsonObject lastLowPowerTip() const;
    QJsonObject lastLowPowerShutdown() const;
    void rearmLowPowerTip();
    void rearmLowPowerShutdown();
    // The station's own lower limit as its serial link reports it, -1 when the link has none; the
    // low level for a UPS that reports no battery.charge.low.
    void setStationChargeLow(int percent);

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
    // Events of the low-battery path, for the parts that act on them or tell the user.
    void sigMainsFailed();
    void sigMainsBack();
    void sigLowPowerTip();
    // A local shutdown stage was sent; the page counts down `intervalSeconds`.
    void sigLowPowerStage(int stage, int intervalSeconds);
    // The UPS has not been read for 15 s while on battery (true), or is read again (false).
    void sigUpsLinkLost(bool lost);
    // A wake-up step began (true): values shown, not acted on; a step acted again (false).
    void sigWakingUp(bool waking);

protected:
    void run() override;

private:
    enum ConnectState { NoDev = 0, ConnectDev = 3 };

    QString _mode() const;
    void pollOnce(const QString &mode);
    void _beginStep();
    void _endStep();
    void _pollLocal();
    void _pollRemote();
    void _noReading();
    void _restartNutIfDead(bool stationPresent);
    void _nutAnswered();
    void _reportLinkLost(int seconds);
    void _reportLinkBack(bool onBattery, std::optional<int> charge);
    void _mainsChanged(bool onBattery);
    std::optional<int> _readCharge(const QJsonObject &variables, bool onBattery, qint64 tipLevel);
    std::optional<int> _lastChargeLow() const;
    void _identify(const QString &sn);
    void _forgetDevice();
    void setConnectStatus(int state);
    void processUpsInfo(const QJsonObject &variables);
    void reportDeviceInfo(const QJsonObject &variables);
    void reportBatteryTime(const QString &runtime);
    // The low level for this set: the UPS's, or the station's, or the default one.
    int checkBatteryChargeLow(const QJsonObject &variables);
    void checkLowPowerTip(int charge, int low);
    void checkLowPowerShutdown(int charge, int low);
    void _sendStageOne(const QString &mode, int low);
    void _armAll();
    void _setSn(const QString &sn, const QString &model);

    NotifyFn m_notify;
    SetDeviceDetailPageFn m_setDeviceDetailPage;
    std::shared_ptr<AmperlaneSettings> m_settings;
    MonitorClock m_clock;
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
    std::optional<int> m_lastChargeLow;

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
    std::atomic<int> m_stationChargeLow{-1};

    // Monitor thread only.
    qint64 m_stepStartMs = 0;
    std::optional<qint64> m_previousStepStartMs;
    bool m_wakeUpStep = false;
    bool m_stepEvaluated = false;
    bool m_holdingAfterWakeUp = false;
    NutRestartSchedule m_restartSchedule;
    UpsLinkWatch m_linkWatch;
    UnreadableValueLog m_chargeLog{QStringLiteral("battery.charge")};
    UnreadableValueLog m_chargeLowLog{QStringLiteral("battery.charge.low")};
    std::optional<ChargeLowSource> m_chargeLowSource;
    // The last charge acted on in this outage, for telling a real 0 from a glitch.
    std::optional<int> m_outageCharge;
    bool m_zeroSkipped = false;
};
