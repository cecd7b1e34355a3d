#pragma once

#include "amperlaneversion.h"
#include "attrcmdexecinfo.h"
#include "notify.h"
#include "tqattrvalue.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class CompositeIo;
class QTimer;

// The self-test history of one station: one "time;result" line per finished self-test.
class SelfTestRecord
{
public:
    virtual ~SelfTestRecord() = default;
    virtual void appendLine(const QString &text) = 0;
    virtual QString readLastLine() const = 0;
};

// Opens the self-test history of the station with the given serial number.
using SelfTestRecordFactory = std::function<std::shared_ptr<SelfTestRecord>(const QString &sn)>;

// --- Reading station values for the page -------------------------------------------------------

// Rounds half away from zero (12.5 -> 13, -12.5 -> -13); values beyond the int range saturate and
// NaN reads as 0.
int roundHalfAwayFromZero(double value);

// The station packs two readings into its temperature value: the upper one (bits 8-15) when it is
// at least 25, otherwise the lower one (bits 0-7).
int stationTemperature(int32_t raw);

// {"days", "hours", "minutes"} of a remaining time in minutes.
QJsonObject batteryTimeObject(uint32_t minutes);

// An attribute's value as a whole number: a float is rounded half away from zero, an integer taken
// as it is. None for a value shorter than four bytes or an attribute without a number.
std::optional<int> attrNumber(uint16_t attrId, const QByteArray &value);

// What one attribute map shows on the home page.
struct HomePageUpdate
{
    QJsonObject info;
    // The remaining time, only while the station is not on battery.
    std::optional<QJsonObject> batteryTime;
};
HomePageUpdate homePageUpdate(const AttrParaMap &map, bool onBattery);

// The recent input and output power samples, oldest first, at most 20 each.
struct PowerHistory
{
    QList<int> input;
    QList<int> output;
};

// Feeds the histories from one attribute map. While the device-detail page is active it also
// returns that page's {"input", "output"} payload, with power as arrays: the whole history when
// `fullHistory`, else the newest sample. Output values shown on the page are magnitudes.
std::optional<QJsonObject> deviceDetailUpdate(const AttrParaMap &map, PowerHistory &history,
                                              bool active, bool fullHistory);

// "%1.%2.%3.%4" of the firmware version value read from its last byte to its first.
std::optional<QString> firmwareVersionText(const QByteArray &value);

// {"cpu", "os", "version"} for the operating system family, or {} for an unknown one.
QJsonObject systemInfoFor(const QString &productType, const QString &kernelType);

// --- The device logic --------------------------------------------------------------------------

// What the application sees of the station's serial link: opens it when NUT reports the station,
// polls the attribute values once a second and turns them into page notifications, keeps a short
// power history, runs the battery self-test and records its outcome.
// Lives in the service's worker thread, which also owns the link.
class CompositeBussiness : public QObject
{
    Q_OBJECT
public:
    using ResultFn = std::function<void(QJsonValue)>;

    CompositeBussiness(NotifyFn notify, SelfTestRecordFactory recordFactory,
                       QObject *parent = nullptr);
    ~CompositeBussiness() override;

    // Handlers of the NUT monitor's signals.
    void onDevConnected(const QString &sn);
    void onDevDisconnected();
    void onIsOnBattery(bool status);

    // Service operations.
    bool setNotifyPage(const QString &pageName, bool enable);
    void selfTest(ResultFn callback);
    QJsonObject getLastSelfTestTime() const;
    QJsonObject getModeAndFirmwareVersion(const QString &mode);
    QJsonObject getSystemInfoAndVersion() const;

    // The station's attribute values of one poll: the home page first, then the device detail.
    void onAllAttrPara(const AttrParaMap &map);

    // A self-test without a final state this long after its execute request is answered with
    // 255, also when no reply comes at all; 20 s unless a test shortens it.
    void setSelfTestTimeLimitMs(qint64 ms) { selfTestTimeLimitMs = ms; }

signals:
    // The station's own lower battery limit (attribute 19) in whole percent, whenever the value
    // the link reads changes; -1 once the link is closed.
    void sigChargeLowReal(int percent);

private:
    void poll();
    void updateHomePage(const AttrParaMap &map);
    void updateDeviceDetail(const AttrParaMap &map);
    void onLinkLost();
    void onAttrCmdExec(uint16_t attrId, uint8_t attrTrackingId);
    void onAttrCmdExecRes(uint16_t attrId, uint8_t attrState);
    void recordSelfTest(uint8_t attrState);
    void selfTestTimedOut(const std::shared_ptr<AttrCmdExecInfo> &info);
    void reportChargeLowReal(int percent);

    NotifyFn notify;
    SelfTestRecordFactory recordFactory;
    QString currentPage;
    PowerHistory history;
    bool sendFullHistory = false;
    bool homePageActive = false;
    bool deviceDetailActive = false;
    // Until NUT reports otherwise the station is taken to be on battery, so no battery time is
    // shown before the first report.
    bool onBattery = true;
    std::shared_ptr<CompositeIo> compositeIo;
    std::shared_ptr<QTimer> pollTimer;
    std::shared_ptr<SelfTestRecord> selfTestRecord;
    std::map<uint16_t, std::shared_ptr<AttrCmdExecInfo>> pendingExec;
    qint64 selfTestTimeLimitMs = 20000;
    int chargeLowReal = -1;
};
