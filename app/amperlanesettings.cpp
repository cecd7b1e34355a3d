#include "amperlanesettings.h"

#include <QDebug>
#include <QDir>
#include <QJsonValue>
#include <QLocale>
#include <QMutexLocker>

#include <cmath>

namespace {

const QString kConnectModeParam = QStringLiteral("connectModeParam");
const QString kBatterySetting = QStringLiteral("batterySetting");
const QString kGlobal = QStringLiteral("global");

struct Default
{
    const char *key;
    const char *value;
};

// Keys of connectModeParam that the page reads and writes, in the order they are written.
const Default kConnectModeDefaults[] = {
    {"mode", "local"},   {"upsName", "nutdev1"}, {"nutIP", "127.0.0.1"},
    {"nutPort", "3496"}, {"nutUser", "drel"},    {"nutPassword", "480917"},
};

const Default kLocalDefaults[] = {
    {"localUpsName", "nutdev1"},
    {"localNutIP", "127.0.0.1"},
    {"localNutPort", "3493"},
};

constexpr int kDefaultTipValue = 5;
constexpr int kDefaultShutdownValue = 4;
constexpr int kMinMargin = 1;
constexpr int kMaxMargin = 50;
// The low level assumed for a UPS that reports none and a station whose serial link has none.
constexpr int kDefaultChargeLow = 10;
constexpr int kMaxDefaultChargeLow = 90;

bool wholeNumberIn(const QJsonValue &value, int min, int max)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return number == std::floor(number) && number >= min && number <= max;
}

QString address(const QString &name, const QString &host, const QString &port)
{
    return QStringLiteral("%1@%2:%3").arg(name, host, port);
}

} // namespace

bool batterySettingInRange(const QJsonObject &json)
{
    if (!wholeNumberIn(json.value("lowPowerTipValue"), kMinMargin, kMaxMargin) ||
        !wholeNumberIn(json.value("lowPowerShutdownValue"), kMinMargin, kMaxMargin))
        return false;
    return !json.contains("defaultChargeLow") ||
           wholeNumberIn(json.value("defaultChargeLow"), 0, kMaxDefaultChargeLow);
}

QString languageFromLocaleName(const QString &localeName)
{
    const QStringList fields = localeName.split(QLatin1Char('_'));
    return fields.size() > 1 ? fields.at(1).toLower() : QString();
}

AmperlaneSettings::AmperlaneSettings(const QString &appDir)
{
    m_folder = QStringLiteral("%1/%2/%3")
                   .arg(appDir, QStringLiteral("AmperlaneSettings"), QDir::home().dirName());
    const QString path = filePath();
    qDebug() << "settingPath" << path;
    QDir().mkpath(m_folder);
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    // Qt would write the file later from the thread that created the store, outside the store's
    // lock, while another thread may be writing: a store without thread affinity gets no such
    // deferred write, and every write operation writes the file itself under the lock.
    m_settings->moveToThread(nullptr);

    // The local NUT address is always written out, so a user can see and edit it.
    QMutexLocker lock(&m_mutex);
    m_settings->beginGroup(kConnectModeParam);
    for (const Default &entry : kLocalDefaults) {
        const QString key = QString::fromLatin1(entry.key);
        m_settings->setValue(key, m_settings->value(key, QString::fromLatin1(entry.value)));
    }
    m_settings->endGroup();
    m_settings->sync();
}

QString AmperlaneSettings::filePath() const
{
    return QStringLiteral("%1/%2").arg(m_folder, QStringLiteral("settings.ini"));
}

QVariant AmperlaneSettings::_value(const QString &group, const QString &key,
                                   const QVariant &defaultValue)
{
    m_settings->beginGroup(group);
    const QVariant result = m_settings->value(key, defaultValue);
    m_settings->endGroup();
    return result;
}

int AmperlaneSettings::_intInRange(const QString &group, const QString &key, int defaultValue,
                                   int min, int max)
{
    bool ok = false;
    const int number = _value(group, key, defaultValue).toInt(&ok);
    return ok && number >= min && number <= max ? number : defaultValue;
}

QVariant AmperlaneSettings::value(const QString &group, const QString &key,
                                  const QVariant &defaultValue)
{
    QMutexLocker lock(&m_mutex);
    return _value(group, key, defaultValue);
}

void AmperlaneSettings::setValue(const QString &group, const QString &key, const QVariant &value)
{
    QMutexLocker lock(&m_mutex);
    m_settings->beginGroup(group);
    m_settings->setValue(key, value);
    m_settings->endGroup();
    m_settings->sync();
}

QJsonObject AmperlaneSettings::readBatterySetting()
{
    QMutexLocker lock(&m_mutex);
    QJsonObject json;
    json.insert("lowPowerTipValue", _intInRange(kBatterySetting, "lowPowerTipValue",
                                                kDefaultTipValue, kMinMargin, kMaxMargin));
    json.insert("lowPowerShutdownValue",
                _intInRange(kBatterySetting, "lowPowerShutdownValue", kDefaultShutdownValue,
                            kMinMargin, kMaxMargin));
    json.insert("enableLowPowerShutdown",
                _value(kBatterySetting, "enableLowPowerShutdown", false).toBool());
    json.insert("enableRemoteLowPowerShutdown",
                _value(kBatterySetting, "enableRemoteLowPowerShutdown", false).toBool());
    json.insert("mode", _value(kConnectModeParam, "mode", QStringLiteral("local")).toString());
    json.insert("defaultChargeLow", _intInRange(kBatterySetting, "defaultChargeLow",
                                                kDefaultChargeLow, 0, kMaxDefaultChargeLow));
    return json;
}

void AmperlaneSettings::writeBatterySetting(const QJsonObject &json)
{
    QMutexLocker lock(&m_mutex);
    m_settings->beginGroup(kBatterySetting);
    for (const char *key : {"lowPowerTipValue", "lowPowerShutdownValue"})
        m_settings->setValue(key, json.value(key).toInt(0));
    for (const char *key : {"enableLowPowerShutdown", "enableRemoteLowPowerShutdown"})
        m_settings->setValue(key, json.value(key).toBool(false));
    if (json.contains("defaultChargeLow"))
        m_settings->setValue("defaultChargeLow", json.value("defaultChargeLow").toInt(0));
    m_settings->endGroup();
    m_settings->sync();
}

QJsonObject AmperlaneSettings::readConnectModeParam()
{
    QMutexLocker lock(&m_mutex);
    QJsonObject json;
    for (const Default &entry : kConnectModeDefaults) {
        const QString key = QString::fromLatin1(entry.key);
        json.insert(key,
                    _value(kConnectModeParam, key, QString::fromLatin1(entry.value)).toString());
    }
    return json;
}

void AmperlaneSettings::writeConnectModeParam(const QJsonObject &json)
{
    QMutexLocker lock(&m_mutex);
    m_settings->beginGroup(kConnectModeParam);
    for (const Default &entry : kConnectModeDefaults) {
        const QString key = QString::fromLatin1(entry.key);
        m_settings->setValue(key, json.value(key).toString());
    }
    m_settings->endGroup();
    m_settings->sync();
}

QString AmperlaneSettings::localUpsAddress()
{
    QMutexLocker lock(&m_mutex);
    return address(_value(kConnectModeParam, "localUpsName", "nutdev1").toString(),
                   _value(kConnectModeParam, "localNutIP", "127.0.0.1").toString(),
                   _value(kConnectModeParam, "localNutPort", "3493").toString());
}

QString AmperlaneSettings::remoteUpsAddress()
{
    QMutexLocker lock(&m_mutex);
    return address(_value(kConnectModeParam, "upsName", "nutdev1").toString(),
                   _value(kConnectModeParam, "nutIP", "127.0.0.1").toString(),
                   _value(kConnectModeParam, "nutPort", "3496").toString());
}

QString AmperlaneSettings::language()
{
    return value(kGlobal, "language", languageFromLocaleName(QLocale::system().name())).toString();
}
