#include "nutbussiness.h"

#include "amperlanesettings.h"
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

QJsonObject linkPayload(const QString &mode, bool onBattery, std::optional<int> charge, int seconds)
{
    return {{QStringLiteral("mode"), mode},
            {QStringLiteral("onBattery"), onBattery},
            {QStringLiteral("lastCharge"), charge.value_or(-1)},
            {QStringLiteral("seconds"), seconds}};
}

} // namespace

NutBussiness::NutBussiness(NotifyFn notify, SetDeviceDetailPageFn setDeviceDetailPage,
                           std::shared_ptr<AmperlaneSettings> settings, QObject *parent,
                           MonitorClock clock)
    : QThread(parent), m_notify(std::move(notify)),
      m_setDeviceDetailPage(std::move(setDeviceDetailPage)), m_settings(std::move(settings)),
      m_clock(std::move(clock))
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

int NutBussiness::batteryChargeLow() const
{
    return _lastChargeLow().value_or(0);
}

std::optional<int> NutBussiness::_lastChargeLow() const
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

void NutBussiness::setStationChargeLow(int percent)
{
    m_stationChargeLow = percent;
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
    _beginStep();
    if (mode == kLocal)
        _pollLocal();
    else
        _pollRemote();
    _endStep();
}

void NutBussiness::_beginStep()
{
    m_stepStartMs = m_clock();
    m_wakeUpStep = m_previousStepStartMs && isWakeUpGap(*m_previousStepStartMs, m_stepStartMs);
    m_previousStepStartMs = m_stepStartMs;
    m_stepEvaluated = false;
    if (!m_wakeUpStep)
        return;
    // Right after a sleep NUT may still serve what it read before; the next step acts.
    qDebug() << "wake-up step: its values are shown, not acted on";
    m_linkWatch.wokeUp(m_stepStartMs);
    m_holdingAfterWakeUp = true;
    emit sigWakingUp(true);
}

void NutBussiness::_endStep()
{
    // Only once an acting step has evaluated what it read: a mains return it found goes out first.
    if (m_wakeUpStep || !m_stepEvaluated || !m_holdingAfterWakeUp)
        return;
    m_holdingAfterWakeUp = false;
    emit sigWakingUp(false);
}

void NutBussiness::_pollLocal()
{
    const LocalStepCheck check = m_localStepCheck ? m_localStepCheck() : LocalStepCheck{};
    if (!check.goOn)
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
        _noReading();
        _restartNutIfDead(check.devicePresent);
        return;
    }
    _nutAnswered();
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
    _noReading();
    if (m_connectState != NoDev) {
        setConnectStatus(NoDev);
        m_setDeviceDetailPage(false);
        _forgetDevice();
        QMutexLocker lock(&m_dataMutex);
        m_lastTip = QJsonObject();
        m_lastShutdown = QJsonObject();
    }
}

void NutBussiness::_noReading()
{
    m_stepEvaluated = true;
    if (m_wakeUpStep)
        return;
    if (const std::optional<int> seconds = m_linkWatch.unread(m_stepStartMs))
        _reportLinkLost(*seconds);
}

void NutBussiness::_restartNutIfDead(bool stationPresent)
{
    // Without the station the driver check restarts NUT in every step already.
    if (!stationPresent) {
        m_restartSchedule.reset();
        return;
    }
    if (!m_restartSchedule.emptyStep(m_stepStartMs))
        return;
    qWarning().noquote() << QStringLiteral("the local NUT answers nothing while the station is "
                                           "there: restarting it (restart %1)")
                                .arg(m_restartSchedule.restarts());
    NutCmdExec::restartNutService();
}

void NutBussiness::_nutAnswered()
{
    if (m_restartSchedule.restarts() > 0)
        qWarning().noquote() << QStringLiteral("the local NUT answers again after %1 restart(s)")
                                    .arg(m_restartSchedule.restarts());
    m_restartSchedule.reset();
}

void NutBussiness::_reportLinkLost(int seconds)
{
    const std::optional<int> charge = m_linkWatch.lastCharge();
    const QString mode = _mode();
    qWarning().noquote() << QStringLiteral("the UPS has not been read for %1 s; last known on "
                                           "battery at %2 %")
                                .arg(seconds)
                                .arg(charge.value_or(-1));
    m_notify(kGlobal, QStringLiteral("notifyUpsLinkLost"),
             linkPayload(mode, true, charge, seconds));
    emit sigUpsLinkLost(true);
    emit sigShowWindowOnTop();

    // A station that was about to run empty and went silent is taken to be running empty.
    const LowPowerSettings settings = lowPowerSettings(m_settings->readBatterySetting());
    const std::optional<int> low = _lastChargeLow();
    if (settings.mode == kLocal && settings.enableLowPowerShutdown && charge && low &&
        lowPowerTipDue(*charge, *low, settings.tipMargin))
        _sendStageOne(settings.mode, *low);
}

void NutBussiness::_reportLinkBack(bool onBattery, std::optional<int> charge)
{
    qWarning() << "the UPS is read again";
    m_notify(kGlobal, QStringLiteral("notifyUpsLinkLost"),
             linkPayload(_mode(), onBattery, charge ? charge : m_linkWatch.lastCharge(), 0));
    emit sigUpsLinkLost(false);
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
    m_stepEvaluated = true;
    const bool onBattery = statusOnBattery(status);
    const bool charging = statusCharging(status);

    if (onBattery != m_lastOnBattery) {
        _mainsChanged(onBattery);
        m_lastOnBattery = onBattery;
    }
    if (charging != m_lastCharging) {
        emit sigIsOnBattery(!charging);
        m_lastCharging = charging;
    }

    reportDeviceInfo(variables);
    const int low = checkBatteryChargeLow(variables);
    if (!onBattery) {
        m_tipArmed = true;
        m_shutdownArmed = true;
        m_outageCharge.reset();
    }
    const int tipMargin = lowPowerSettings(m_settings->readBatterySetting()).tipMargin;
    const std::optional<int> charge = _readCharge(variables, onBattery, qint64(low) + tipMargin);
    if (m_linkWatch.read(m_stepStartMs, onBattery, charge))
        _reportLinkBack(onBattery, charge);
    if (m_wakeUpStep || !charge || !onBattery)
        return;
    m_outageCharge = *charge;
    checkLowPowerTip(*charge, low);
    checkLowPowerShutdown(*charge, low);
}

void NutBussiness::_mainsChanged(bool onBattery)
{
    if (!onBattery) {
        emit sigMainsBack();
        return;
    }
    std::shared_ptr<TimeRecord> record;
    {
        QMutexLocker lock(&m_dataMutex);
        record = m_timeRecord;
    }
    if (record) {
        const QString time =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d HH:mm:ss"));
        record->appendLine(time);
        QJsonObject payload;
        payload.insert(QLatin1String("time"), time);
        m_notify(kHomePage, QStringLiteral("notifyLastTurnOffChargeTime"), payload);
    }
    m_outageCharge.reset();
    emit sigMainsFailed();
}

std::optional<int> NutBussiness::_readCharge(const QJsonObject &variables, bool onBattery,
                                             qint64 tipLevel)
{
    const QString chargeText = text(variables, "battery.charge");
    const std::optional<int> charge = wholePercent(chargeText);
    m_chargeLog.report(charge.has_value(), chargeText);
    if (!charge || !onBattery || chargeReadingIsReal(*charge, m_outageCharge, tipLevel)) {
        m_zeroSkipped = false;
        return charge;
    }
    if (!m_zeroSkipped)
        qWarning().noquote() << QStringLiteral("battery.charge 0 on battery after %1 %: taken for "
                                               "a glitch and skipped")
                                    .arg(m_outageCharge ? QString::number(*m_outageCharge)
                                                        : QStringLiteral("no reading"));
    m_zeroSkipped = true;
    return std::nullopt;
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

int NutBussiness::checkBatteryChargeLow(const QJsonObject &variables)
{
    const QLatin1String key("battery.charge.low");
    const bool given = variables.contains(key);
    const QString upsText = variables.value(key).toString();
    const std::optional<int> ups = given ? wholePercent(upsText) : std::nullopt;
    m_chargeLowLog.report(!given || ups, upsText);
    const int station = m_stationChargeLow;
    const ChargeLow low = effectiveChargeLow(
        ups, station >= 0 ? std::optional<int>(station) : std::nullopt,
        m_settings->readBatterySetting().value(QLatin1String("defaultChargeLow")).toInt());
    if (low.source != m_chargeLowSource) {
        m_chargeLowSource = low.source;
        qDebug().noquote() << QStringLiteral("low level from %1: %2")
                                  .arg(QLatin1String(chargeLowSourceName(low.source)))
                                  .arg(low.value);
    }
    {
        QMutexLocker lock(&m_dataMutex);
        if (m_lastChargeLow == low.value)
            return low.value;
        m_lastChargeLow = low.value;
    }
    _armAll();
    m_notify(kGlobal, QStringLiteral("notifyBatteryChargeLow"), low.value);
    return low.value;
}

void NutBussiness::checkLowPowerTip(int charge, int low)
{
    const int margin = lowPowerSettings(m_settings->readBatterySetting()).tipMargin;
    if (!lowPowerTipDue(charge, low, margin) || !m_tipArmed.exchange(false))
        return;
    const QJsonObject payload = lowPowerTipPayload(low, margin);
    m_notify(kGlobal, QStringLiteral("notifyLowPowerTip"), payload);
    emit sigShowWindowOnTop();
    emit sigLowPowerTip();
    QMutexLocker lock(&m_dataMutex);
    m_lastTip = payload;
}

void NutBussiness::checkLowPowerShutdown(int charge, int low)
{
    const LowPowerSettings settings = lowPowerSettings(m_settings->readBatterySetting());
    const LowPowerShutdownDue due = lowPowerShutdownDue(charge, low, settings);
    const QString name = QStringLiteral("notifyLowPowerShutdown");
    if (due.stageOne)
        _sendStageOne(settings.mode, low);
    if (due.stageTwo && m_shutdownNowArmed.exchange(false)) {
        m_notify(kGlobal, name, lowPowerShutdownStageTwoPayload(settings.mode));
        emit sigShowWindowOnTop();
        qDebug() << "notifyLowPowerShutdown shutdown";
        emit sigLowPowerStage(2, kStageTwoIntervalSeconds);
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

void NutBussiness::_sendStageOne(const QString &mode, int low)
{
    if (!m_shutdownArmed.exchange(false))
        return;
    const QJsonObject payload = lowPowerShutdownStageOnePayload(mode, low);
    m_notify(kGlobal, QStringLiteral("notifyLowPowerShutdown"), payload);
    emit sigShowWindowOnTop();
    {
        QMutexLocker lock(&m_dataMutex);
        m_lastShutdown = payload;
    }
    qDebug() << "notifyLowPowerShutdown lowPowerShutdown";
    emit sigLowPowerStage(1, kStageOneIntervalSeconds);
}
