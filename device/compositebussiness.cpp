#include "compositebussiness.h"

#include "compositeio.h"
#include "tqattrtable.h"
#include "waitwitheventloop.h"

#include <QDateTime>
#include <QDebug>
#include <QEventLoop>
#include <QJsonArray>
#include <QSysInfo>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <utility>

namespace {

constexpr int kPollIntervalMs = 1000;
constexpr int kSearchAttempts = 3;
constexpr int kSearchRetryDelayMs = 1000;
constexpr int kHistoryLength = 20;
constexpr int kExecPollDelayMs = 500;
constexpr int kVersionQueries = 4;
constexpr int kVersionQueryIntervalMs = 300;
constexpr uint8_t kSelfTestTimedOut = 255;
constexpr int kLinkNotConnected = 4;
constexpr int kNoChargeLow = -1;

const uint16_t homePageIds[] = {TQAttrId::BatteryDeviceStatus, TQAttrId::BatteryTemperature,
                                TQAttrId::Ext1Temperature,     TQAttrId::OutputRealpower,
                                TQAttrId::InputRealpower,      TQAttrId::ChargingRemainingTime};
const uint16_t detailInputIds[] = {TQAttrId::InputRealpower, TQAttrId::InputAcRealpower,
                                   TQAttrId::InputSolarRealpower, TQAttrId::InputTypeCRealpower};
const uint16_t detailOutputIds[] = {TQAttrId::OutputRealpower,     TQAttrId::OutputAcRealpower,
                                    TQAttrId::OutputDcRealpower,   TQAttrId::OutputUsbARealpower,
                                    TQAttrId::OutputUsbCRealpower, TQAttrId::OutputTypeCRealpower};

void appendSample(QList<int> &samples, int value)
{
    samples.append(value);
    while (samples.size() > kHistoryLength)
        samples.removeFirst();
}

QJsonArray samplesArray(const QList<int> &samples, bool all)
{
    QJsonArray array;
    if (all) {
        for (int value : samples)
            array.append(value);
    } else if (!samples.isEmpty()) {
        array.append(samples.last());
    }
    return array;
}

// The size of a power reading. The smallest int has no positive counterpart and reads as the
// largest one.
int magnitude(int value)
{
    return value == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max()
                                                    : std::abs(value);
}

// One side of the device-detail page; `historyId` is the attribute whose samples are kept.
QJsonObject detailSide(const AttrParaMap &map, const uint16_t *ids, size_t count,
                       uint16_t historyId, QList<int> &samples, bool magnitudes, bool fullHistory)
{
    QJsonObject side;
    for (size_t i = 0; i < count; ++i) {
        const uint16_t id = ids[i];
        if (!map.contains(id))
            continue;
        std::optional<int> value = attrNumber(id, map.value(id));
        if (!value)
            continue;
        if (magnitudes)
            value = magnitude(*value);
        const QString name = QString::fromLatin1(findAttr(id)->name);
        if (id == historyId) {
            appendSample(samples, *value);
            side.insert(name, samplesArray(samples, fullHistory));
        } else {
            side.insert(name, *value);
        }
    }
    return side;
}

} // namespace

int roundHalfAwayFromZero(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::trunc(value >= 0 ? value + 0.5 : value - 0.5);
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

int stationTemperature(int32_t raw)
{
    const int upper = (raw >> 8) & 0xFF;
    return upper >= 25 ? upper : raw & 0xFF;
}

QJsonObject batteryTimeObject(uint32_t minutes)
{
    return {{QStringLiteral("days"), static_cast<qint64>(minutes / 1440)},
            {QStringLiteral("hours"), static_cast<qint64>((minutes % 1440) / 60)},
            {QStringLiteral("minutes"), static_cast<qint64>(minutes % 60)}};
}

std::optional<int> attrNumber(uint16_t attrId, const QByteArray &value)
{
    const TQAttr *attr = findAttr(attrId);
    if (!attr)
        return std::nullopt;
    if (attr->type == AttrFloat) {
        if (const std::optional<float> number = attrFloat(value))
            return roundHalfAwayFromZero(*number);
    } else if (attr->type == AttrInt) {
        if (const std::optional<int32_t> number = attrInt32(value))
            return *number;
    }
    return std::nullopt;
}

HomePageUpdate homePageUpdate(const AttrParaMap &map, bool onBattery)
{
    HomePageUpdate update;
    bool ext1Present = false;
    for (uint16_t id : homePageIds) {
        if (!findAttr(id) || !map.contains(id))
            continue;
        const QByteArray value = map.value(id);
        const QString name = QString::fromLatin1(findAttr(id)->name);
        const std::optional<int32_t> raw = attrInt32(value);
        switch (id) {
        case TQAttrId::BatteryDeviceStatus:
            ext1Present = raw && (*raw & 1);
            break;
        case TQAttrId::BatteryTemperature:
            if (raw)
                update.info.insert(name, stationTemperature(*raw));
            break;
        case TQAttrId::Ext1Temperature:
            if (raw && ext1Present)
                update.info.insert(name, stationTemperature(*raw));
            break;
        case TQAttrId::ChargingRemainingTime:
            if (raw && !onBattery)
                update.batteryTime = batteryTimeObject(static_cast<uint32_t>(*raw));
            break;
        default:
            if (const std::optional<int> number = attrNumber(id, value))
                update.info.insert(name, *number);
        }
    }
    return update;
}

std::optional<QJsonObject> deviceDetailUpdate(const AttrParaMap &map, PowerHistory &history,
                                              bool active, bool fullHistory)
{
    if (!active) {
        if (map.contains(TQAttrId::InputRealpower))
            if (const auto value =
                    attrNumber(TQAttrId::InputRealpower, map.value(TQAttrId::InputRealpower)))
                appendSample(history.input, *value);
        if (map.contains(TQAttrId::OutputRealpower))
            if (const auto value =
                    attrNumber(TQAttrId::OutputRealpower, map.value(TQAttrId::OutputRealpower)))
                appendSample(history.output, *value);
        return std::nullopt;
    }
    const QJsonObject input =
        detailSide(map, detailInputIds, std::size(detailInputIds), TQAttrId::InputRealpower,
                   history.input, false, fullHistory);
    const QJsonObject output =
        detailSide(map, detailOutputIds, std::size(detailOutputIds), TQAttrId::OutputRealpower,
                   history.output, true, fullHistory);
    return QJsonObject{{QStringLiteral("input"), input}, {QStringLiteral("output"), output}};
}

std::optional<QString> firmwareVersionText(const QByteArray &value)
{
    if (value.size() < 4)
        return std::nullopt;
    const auto byte = [&value](int i) { return static_cast<uint8_t>(value.at(i)); };
    return QStringLiteral("%1.%2.%3.%4").arg(byte(3)).arg(byte(2)).arg(byte(1)).arg(byte(0));
}

QJsonObject systemInfoFor(const QString &productType, const QString &kernelType)
{
    QJsonObject info;
    // Linux distributions name themselves ("debian", "ubuntu", ...); the family is what counts.
    if (productType == QLatin1String("windows"))
        info = {{QStringLiteral("cpu"), QStringLiteral("amd64")}, {QStringLiteral("os"), 0}};
    else if (productType == QLatin1String("linux") || kernelType == QLatin1String("linux"))
        info = {{QStringLiteral("cpu"), QString()}, {QStringLiteral("os"), 1}};
    else if (productType == QLatin1String("osx") || productType == QLatin1String("macos"))
        info = {{QStringLiteral("cpu"), QString()}, {QStringLiteral("os"), 2}};
    else
        return {};
    info.insert(QStringLiteral("version"), QString::fromLatin1(kApplicationVersion));
    return info;
}

CompositeBussiness::CompositeBussiness(NotifyFn notify, SelfTestRecordFactory recordFactory,
                                       QObject *parent)
    : QObject(parent), notify(std::move(notify)), recordFactory(std::move(recordFactory)),
      compositeIo(std::make_shared<CompositeIo>()), pollTimer(std::make_shared<QTimer>())
{
    pollTimer->setInterval(kPollIntervalMs);
    connect(compositeIo.get(), &CompositeIo::sigAllAttrPara, this,
            &CompositeBussiness::onAllAttrPara);
    connect(compositeIo.get(), &CompositeIo::sigAttrCmdExec, this,
            &CompositeBussiness::onAttrCmdExec);
    connect(compositeIo.get(), &CompositeIo::sigAttrCmdExecRes, this,
            &CompositeBussiness::onAttrCmdExecRes);
    connect(compositeIo.get(), &CompositeIo::sigLinkLost, this, &CompositeBussiness::onLinkLost);
    connect(pollTimer.get(), &QTimer::timeout, this, &CompositeBussiness::poll);
}

CompositeBussiness::~CompositeBussiness() = default;

void CompositeBussiness::onDevConnected(const QString &sn)
{
    for (int attempt = 1; !compositeIo->searchCompositeIo(sn); ++attempt) {
        if (attempt == kSearchAttempts) {
            notify(QStringLiteral("global"), QStringLiteral("notifyUsbSerialTips"), QJsonObject());
            return;
        }
        waitWithEventLoop(kSearchRetryDelayMs);
    }
    selfTestRecord.reset();
    selfTestRecord = recordFactory(sn);
    pollTimer->start();
}

void CompositeBussiness::onDevDisconnected()
{
    currentPage.clear();
    history = {};
    pendingExec.clear();
    sendFullHistory = false;
    homePageActive = false;
    deviceDetailActive = false;
    selfTestRecord.reset();
    compositeIo->closeCompositeIo();
    pollTimer->stop();
    reportChargeLowReal(kNoChargeLow);
}

void CompositeBussiness::onIsOnBattery(bool status)
{
    onBattery = status;
}

void CompositeBussiness::poll()
{
    if (compositeIo->isConnected())
        compositeIo->getAllAttrPara();
}

bool CompositeBussiness::setNotifyPage(const QString &pageName, bool enable)
{
    currentPage = pageName;
    if (pageName == QLatin1String("homePage")) {
        homePageActive = enable;
        return true;
    }
    if (pageName == QLatin1String("deviceDetail")) {
        if (enable != deviceDetailActive) {
            deviceDetailActive = enable;
            if (enable)
                sendFullHistory = true;
        }
        return true;
    }
    return false;
}

void CompositeBussiness::onAllAttrPara(const AttrParaMap &map)
{
    updateHomePage(map);
    updateDeviceDetail(map);
    if (map.contains(TQAttrId::ChargeLowReal)) {
        const std::optional<int32_t> percent = attrInt32(map.value(TQAttrId::ChargeLowReal));
        reportChargeLowReal(percent && *percent >= 0 && *percent <= 100 ? *percent : kNoChargeLow);
    }
}

void CompositeBussiness::reportChargeLowReal(int percent)
{
    if (percent == chargeLowReal)
        return;
    chargeLowReal = percent;
    emit sigChargeLowReal(percent);
}

void CompositeBussiness::updateHomePage(const AttrParaMap &map)
{
    if (!homePageActive)
        return;
    const HomePageUpdate update = homePageUpdate(map, onBattery);
    if (update.batteryTime)
        notify(QStringLiteral("homePage"), QStringLiteral("notifyBatteryTime"),
               *update.batteryTime);
    notify(QStringLiteral("homePage"), QStringLiteral("notifyCompositeDeviceInfo"), update.info);
    qDebug() << "homePageInfo" << update.info;
}

void CompositeBussiness::updateDeviceDetail(const AttrParaMap &map)
{
    const std::optional<QJsonObject> info =
        deviceDetailUpdate(map, history, deviceDetailActive, sendFullHistory);
    if (!info)
        return;
    notify(QStringLiteral("deviceDetail"), QStringLiteral("notifyInfo"), *info);
    qDebug() << "deviceDetail" << *info;
    sendFullHistory = false;
}

void CompositeBussiness::selfTest(ResultFn callback)
{
    if (!compositeIo || !compositeIo->isConnected()) {
        callback(kLinkNotConnected);
        return;
    }
    // One self-test at a time; the second caller gets no answer.
    if (pendingExec.count(TQAttrId::UpsTest))
        return;
    compositeIo->getAttrIdList();
    auto info = std::make_shared<AttrCmdExecInfo>();
    info->callback = std::move(callback);
    pendingExec[TQAttrId::UpsTest] = info;
    compositeIo->setAttrPara(TQAttrId::UpsTest, QByteArray());
    info->timer.start();
    // A lost reply frame must not leave the page waiting and every later self-test refused.
    QTimer::singleShot(selfTestTimeLimitMs, Qt::PreciseTimer, this,
                       [this, info] { selfTestTimedOut(info); });
}

void CompositeBussiness::selfTestTimedOut(const std::shared_ptr<AttrCmdExecInfo> &info)
{
    const auto it = pendingExec.find(TQAttrId::UpsTest);
    if (it == pendingExec.end() || it->second != info)
        return;
    pendingExec.erase(it);
    qDebug() << "self-test without a final state in time: answered" << int(kSelfTestTimedOut);
    info->callback(kSelfTestTimedOut);
}

void CompositeBussiness::onLinkLost()
{
    reportChargeLowReal(kNoChargeLow);
    // No answer can come any more: a running self-test is answered as without a link.
    const auto pending = std::exchange(pendingExec, {});
    for (const auto &[attrId, info] : pending)
        info->callback(kLinkNotConnected);
}

void CompositeBussiness::onAttrCmdExec(uint16_t attrId, uint8_t attrTrackingId)
{
    const auto it = pendingExec.find(attrId);
    if (it == pendingExec.end())
        return;
    it->second->attrTrackingId = attrTrackingId;
    compositeIo->getAttrCmdExecRes(attrId, attrTrackingId);
}

void CompositeBussiness::onAttrCmdExecRes(uint16_t attrId, uint8_t attrState)
{
    const auto it = pendingExec.find(attrId);
    if (it == pendingExec.end())
        return;
    const std::shared_ptr<AttrCmdExecInfo> info = it->second;

    if (TQAttrState::isRunning(attrState)) {
        if (attrId == TQAttrId::UpsTest && info->timer.elapsed() > selfTestTimeLimitMs) {
            pendingExec.erase(it);
            info->callback(kSelfTestTimedOut);
            return;
        }
        const uint8_t trackingId = info->attrTrackingId;
        QTimer::singleShot(kExecPollDelayMs, this, [this, attrId, trackingId] {
            compositeIo->getAttrCmdExecRes(attrId, trackingId);
        });
        return;
    }

    if (attrId == TQAttrId::UpsTest)
        recordSelfTest(attrState);
    pendingExec.erase(it);
    info->callback(attrState);
}

void CompositeBussiness::recordSelfTest(uint8_t attrState)
{
    if (!selfTestRecord)
        return;
    if (attrState != TQAttrState::SelfTestPassed && attrState != TQAttrState::SelfTestFailed)
        return;
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d HH:mm:ss"));
    const QString result =
        attrState == TQAttrState::SelfTestPassed ? QStringLiteral("true") : QStringLiteral("false");
    selfTestRecord->appendLine(time + QLatin1Char(';') + result);
    qDebug() << " selftest attrState" << attrState;
}

QJsonObject CompositeBussiness::getLastSelfTestTime() const
{
    if (!selfTestRecord)
        return {};
    const QString line = selfTestRecord->readLastLine();
    if (line.isEmpty() || !line.contains(QLatin1Char(';')))
        return {};
    const QStringList parts = line.split(QLatin1Char(';'));
    return {{QStringLiteral("time"), parts.at(0)},
            {QStringLiteral("res"), parts.at(1) == QLatin1String("true")}};
}

QJsonObject CompositeBussiness::getModeAndFirmwareVersion(const QString &mode)
{
    QString version;
    QEventLoop loop;
    QTimer ticker;
    int ticks = 0;
    connect(&ticker, &QTimer::timeout, &loop, [&] {
        if (++ticks > kVersionQueries) {
            loop.quit();
            return;
        }
        compositeIo->getAttrPara(TQAttrId::EmsVersion);
        ticker.setInterval(kVersionQueryIntervalMs);
    });
    connect(compositeIo.get(), &CompositeIo::sigAttrPara, &loop,
            [&](uint16_t attrId, const QByteArray &value) {
                if (attrId != TQAttrId::EmsVersion)
                    return;
                if (const std::optional<QString> text = firmwareVersionText(value)) {
                    version = *text;
                    loop.quit();
                }
            });
    ticker.start(1);
    loop.exec();
    qDebug() << "Version (Dec):" << version;
    return {{QStringLiteral("mode"), mode}, {QStringLiteral("firmwareVersion"), version}};
}

QJsonObject CompositeBussiness::getSystemInfoAndVersion() const
{
    return systemInfoFor(QSysInfo::productType(), QSysInfo::kernelType());
}
