#include "nutbussiness.h"

#include "amperlanesettings.h"
#include "lowpowerpolicy.h"
#include "nutcmdexec.h"
#include "timerecord.h"
#include "upsvariables.h"
#include "waitwitheventloop.h"

#include <QDateTime>
#include <QDebug>
#include <QMutexLocker>

namespace {

const QString kLocal = QStringLiteral("local");
const QString kGlobal = QStringLiteral("global");
const QString kHomePage = QStringLiteral("homePage");
const QString kTurnOffChargeFile = QStringLiteral("turnOffCharge.data");

constexpr int kStepPauseMs = 1000;
constexpr unsigned long kStopWaitMs = 3000;

QString text(const QJsonObject &variables, const char *name)
{
    return variables.value(QLatin1String(name)).toString();
}

LowPowerSettings lowPowerSettings(const QJsonObject &battery)
{
    LowPowerSettings settings;
    settings.tipMargin = battery.value(QLatin1String("lowPowerTipValue")).toInt();
    settings.shutdownMargin = battery.value(QLatin1String("lowPowerShutdownValue")).toInt();
    settings.enableLowPowerShutdown =
        battery.value(QLatin1String("enableLowPowerShutdown")).toBool();
    settings.enableRemoteLowPowerShutdown =
        battery.value(QLatin1String("enableRemoteLowPowerShutdown")).toBool();
    settings.mode = battery.value(QLatin1String("mode")).toString();
    return settings;
}

} // namespace

NutBussiness::NutBussiness(NotifyFn notify, SetDeviceDetailPageFn setDeviceDetailPage,
                           std::shared_ptr<AmperlaneSettings> settings, QObject *parent)
    : QThread(parent), m_notify(std::move(notify)),
      m_setDeviceDetailPage(std::move(setDeviceDetailPage)), m_settings(std::move(settings))
{
}

NutBussiness::~NutBussiness()
{
    if (!isRunning())
        return;
    {
        // quit goes first so that the woken loop leaves at once instead of running another step.
        QMutexLocker lock(&m_mutex);
        m_quit = true;
        m_enabled = true;
        m_wakeUp.wakeAll();
    }
    quit();
    if (!wait(kStopWaitMs)) {
        // A NUT call under way is bounded by its own time limit; destroying a running thread
        // would end the process.
        qDebug() << "NutBussiness waits for its last NUT call";
        wait();
    }
}

void NutBussiness::setEnabled(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_enabled = on;
    if (!on)
        m_pauseRequested = true;
    if (on)
        m_wakeUp.wakeAll();
}

void NutBussiness::setNotifyPage(const QString &pageName, bool on)
{
    QMutexLocker lock(&m_mutex);
    if (pageName == kHomePage)
        m_homePageNotify = on;
}

void NutBussiness::setWebsocketConnected()
{
    m_websocketConnected = true;
}

bool NutBussiness::isUsbDriverInstalling() const
{
    return m_usbDriverInstalling;
}

QString NutBussiness::deviceSn() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_sn;
}

QString NutBussiness::deviceModel() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_model;
}

QString NutBussiness::batteryChargeLow() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_lastChargeLow;
}

QJsonArray NutBussiness::last100TurnOffChargeTime() const
{
    std::shared_ptr<TimeRecord> record;
    {
        QMutexLocker lock(&m_dataMutex);
        record = m_timeRecord;
    }
    QJsonArray times;
    if (record) {
        for (const QString &line : record->readLastLines(100))
            times.append(line);
    }
    return times;
}

QJsonObject NutBussiness::lastLowPowerTip() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_lastTip;
}

QJsonObject NutBussiness::lastLowPowerShutdown() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_lastShutdown;
}

void NutBussiness::rearmLowPowerTip()
{
    m_tipArmed = true;
}

void NutBussiness::rearmLowPowerShutdown()
{
    m_shutdownArmed = true;
    m_shutdownNowArmed = true;
}

void NutBussiness::setLocalStepCheck(LocalStepCheckFn check)
{
    m_localStepCheck = std::move(check);
}

void NutBussiness::setUsbDriverInstalling(bool installing)
{
    m_usbDriverInstalling = installing;
}

bool NutBussiness::isDeviceConnected() const
{
    return m_connectState == ConnectDev;
}

bool NutBussiness::isQuitRequested() const
{
    return m_quit;
}

void NutBussiness::run()
{
    QString mode = _mode();
    if (mode == kLocal)
        NutCmdExec::restartNutService();
    while (!m_quit) {
        bool resumed = false;
        {
            QMutexLocker lock(&m_mutex);
            while (!m_enabled && !m_quit)
                m_wakeUp.wait(&m_mutex);
            if (m_quit)
                break;
            // A pause and resume within one step count too: the page pauses, stores new settings
            // and resumes in quick succession.
            resumed = m_pauseRequested;
            m_pauseRequested = false;
        }
        if (resumed) {
            // The mode is read only at start and after a pause; a local server that was never
            // started (or left alone while another server was read) is started now.
            const QString oldMode = mode;
            mode = _mode();
            if (oldMode != kLocal && mode == kLocal)
                NutCmdExec::restartNutService();
        }
        pollOnce(mode);
        waitWithEventLoop(kStepPauseMs);
    }
}

QString NutBussiness::_mode() const
{
    return m_settings->value(QStringLiteral("connectModeParam"), QStringLiteral("mode"), kLocal)
        .toString();
}

void NutBussiness::pollOnce(const QString &mode)
{
    if (mode == kLocal)
        _pollLocal();
    else
        _pollRemote();
}

void NutBussiness::_pollLocal()
{
    if (m_localStepCheck && !m_localStepCheck().goOn)
        return;
    const QJsonObject variables = NutCmdExec::queryUpsVariables(m_settings->localUpsAddress());
    if (variables.isEmpty()) {
        ++m_failCount;
        qDebug() << "m_devConnectTimes" << m_failCount;
        if (m_failCount >= 1 && m_connectState != NoDev) {
            emit sigDevDisconnected();
            setConnectStatus(NoDev);
            m_setDeviceDetailPage(false);
            _forgetDevice();
            m_usbDriverInstalling = false;
        }
        return;
    }
    if (m_connectState != ConnectDev && variables.contains(QLatin1String("ups.serial"))) {
        const QString sn = text(variables, "ups.serial");
        const QString model = text(variables, "ups.model");
        _setSn(sn, model);
        if (model.contains(QLatin1String("VESSA 5 Core")))
            m_setDeviceDetailPage(true);
        emit sigDevConnected(sn);
        setConnectStatus(ConnectDev);
        _identify(sn);
    }
    processUpsInfo(variables);
    m_failCount = 0;
}

void NutBussiness::_pollRemote()
{
    m_failCount = 0;
    const QJsonObject variables = NutCmdExec::queryUpsVariables(m_settings->remoteUpsAddress());
    if (!variables.isEmpty()) {
        // A remote UPS counts as connected only once a page is there to be told about it.
        if (m_connectState != ConnectDev && variables.contains(QLatin1String("ups.serial")) &&
            m_websocketConnected) {
            const QString sn = text(variables, "ups.serial");
            qDebug() << "m_sn" << sn;
            {
                QMutexLocker lock(&m_dataMutex);
                m_sn = sn;
            }
            setConnectStatus(ConnectDev);
            _identify(sn);
        }
        processUpsInfo(variables);
        return;
    }
    if (m_connectState != NoDev) {
        setConnectStatus(NoDev);
        m_setDeviceDetailPage(false);
        _forgetDevice();
        QMutexLocker lock(&m_dataMutex);
        m_lastTip = QJsonObject();
        m_lastShutdown = QJsonObject();
    }
}

void NutBussiness::_identify(const QString &sn)
{
    auto record =
        std::make_shared<TimeRecord>(kTurnOffChargeFile, sn, NutCmdExec::applicationFolder());
    QMutexLocker lock(&m_dataMutex);
    m_timeRecord = std::move(record);
}

void NutBussiness::_forgetDevice()
{
    _setSn(QString(), QString());
    {
        QMutexLocker lock(&m_mutex);
        m_homePageNotify = false;
    }
    m_failCount = 0;
    {
        QMutexLocker lock(&m_dataMutex);
        m_timeRecord.reset();
    }
    _armAll();
}

void NutBussiness::_setSn(const QString &sn, const QString &model)
{
    QMutexLocker lock(&m_dataMutex);
    m_sn = sn;
    m_model = model;
}

void NutBussiness::_armAll()
{
    m_tipArmed = true;
    m_shutdownArmed = true;
    m_shutdownNowArmed = true;
}

void NutBussiness::setConnectStatus(int state)
{
    m_connectState = state;
    QJsonObject payload;
    payload.insert(QLatin1String("mode"), _mode());
    payload.insert(QLatin1String("status"),
                   state == ConnectDev ? QStringLiteral("connectDev") : QStringLiteral("noDev"));
    m_notify(kGlobal, QStringLiteral("notifyDevConnectStatus"), payload);
}

void NutBussiness::processUpsInfo(const QJsonObject &variables)
{
    const QString status = text(variables, "ups.status");
    if (!statusOnBattery(status) && !statusOnline(status))
        return;
    const bool onBattery = statusOnBattery(status);
    const bool charging = statusCharging(status);

    if (onBattery != m_lastOnBattery) {
        std::shared_ptr<TimeRecord> record;
        {
            QMutexLocker lock(&m_dataMutex);
            record = m_timeRecord;
        }
        if (onBattery && record) {
            const QString time =
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d HH:mm:ss"));
            record->appendLine(time);
            QJsonObject payload;
            payload.insert(QLatin1String("time"), time);
            m_notify(kHomePage, QStringLiteral("notifyLastTurnOffChargeTime"), payload);
        }
        m_lastOnBattery = onBattery;
    }
    if (charging != m_lastCharging) {
        emit sigIsOnBattery(!charging);
        m_lastCharging = charging;
    }

    reportDeviceInfo(variables);
    checkBatteryChargeLow(variables);

    bool chargeOk = false;
    bool lowOk = false;
    const int charge = text(variables, "battery.charge").toInt(&chargeOk, 10);
    const int low = text(variables, "battery.charge.low").toInt(&lowOk, 10);
    if (!onBattery) {
        m_tipArmed = true;
        m_shutdownArmed = true;
    }
    if (chargeOk && lowOk && charge > 0 && onBattery) {
        checkLowPowerTip(charge, low);
        checkLowPowerShutdown(charge, low);
    }
}

void NutBussiness::reportDeviceInfo(const QJsonObject &variables)
{
    if (variables.isEmpty() || !m_homePageNotify)
        return;
    m_notify(kHomePage, QStringLiteral("notifyUPSDeviceInfo"), upsDeviceInfo(variables));
    if (!m_lastCharging)
        reportBatteryTime(text(variables, "battery.runtime"));
}

void NutBussiness::reportBatteryTime(const QString &runtime)
{
    m_notify(kHomePage, QStringLiteral("notifyBatteryTime"), batteryTimeFromRuntime(runtime));
}

void NutBussiness::checkBatteryChargeLow(const QJsonObject &variables)
{
    const QString low = text(variables, "battery.charge.low");
    {
        QMutexLocker lock(&m_dataMutex);
        if (low == m_lastChargeLow)
            return;
        m_lastChargeLow = low;
    }
    _armAll();
    m_notify(kGlobal, QStringLiteral("notifyBatteryChargeLow"), low.toInt(nullptr, 10));
}

void NutBussiness::checkLowPowerTip(int charge, int low)
{
    const int margin = lowPowerSettings(m_settings->readBatterySetting()).tipMargin;
    if (!lowPowerTipDue(charge, low, margin) || !m_tipArmed.exchange(false))
        return;
    const QJsonObject payload = lowPowerTipPayload(low, margin);
    m_notify(kGlobal, QStringLiteral("notifyLowPowerTip"), payload);
    emit sigShowWindowOnTop();
    QMutexLocker lock(&m_dataMutex);
    m_lastTip = payload;
}

void NutBussiness::checkLowPowerShutdown(int charge, int low)
{
    const LowPowerSettings settings = lowPowerSettings(m_settings->readBatterySetting());
    const LowPowerShutdownDue due = lowPowerShutdownDue(charge, low, settings);
    const QString name = QStringLiteral("notifyLowPowerShutdown");
    if (due.stageOne && m_shutdownArmed.exchange(false)) {
        const QJsonObject payload = lowPowerShutdownStageOnePayload(settings.mode, low);
        m_notify(kGlobal, name, payload);
        emit sigShowWindowOnTop();
        {
            QMutexLocker lock(&m_dataMutex);
            m_lastShutdown = payload;
        }
        qDebug() << "notifyLowPowerShutdown lowPowerShutdown";
    }
    if (due.stageTwo && m_shutdownNowArmed.exchange(false)) {
        m_notify(kGlobal, name, lowPowerShutdownStageTwoPayload(settings.mode));
        emit sigShowWindowOnTop();
        qDebug() << "notifyLowPowerShutdown shutdown";
    }
    if (due.remoteWarning && m_shutdownArmed.exchange(false)) {
        const QJsonObject payload = remoteLowPowerShutdownPayload(settings.mode, low);
        m_notify(kGlobal, name, payload);
        emit sigShowWindowOnTop();
        {
            QMutexLocker lock(&m_dataMutex);
            m_lastShutdown = payload;
        }
        qDebug() << "notifyLowPowerShutdown shutdown remote";
    }
}
