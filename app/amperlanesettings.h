#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

// The program's one store of user choices: how NUT is reached, the low-battery thresholds and
// switches, and the UI language. One INI file per user inside the installation folder; the main
// thread, the service thread and the NUT monitor thread share it, so every operation holds the
// store's mutex for its whole duration.
class AmperlaneSettings
{
public:
    // `appDir` is the executable's folder; the file lives at
    // <appDir>/AmperlaneSettings/<home folder name>/settings.ini.
    explicit AmperlaneSettings(const QString &appDir);

    AmperlaneSettings(const AmperlaneSettings &) = delete;
    AmperlaneSettings &operator=(const AmperlaneSettings &) = delete;

    QVariant value(const QString &group, const QString &key, const QVariant &defaultValue = {});
    void setValue(const QString &group, const QString &key, const QVariant &value);

    // The margins and the default low level read as their defaults when what is stored is out of
    // range or no number.
    QJsonObject readBatterySetting();
    // defaultChargeLow is written only when the object has it.
    void writeBatterySetting(const QJsonObject &json);
    QJsonObject readConnectModeParam();
    void writeConnectModeParam(const QJsonObject &json);

    QString localUpsAddress();
    QString remoteUpsAddress();

    // The stored UI language, or the country part of the system locale when none is stored.
    QString language();

    // The per-user folder that holds settings.ini, and the file itself.
    QString folderPath() const { return m_folder; }
    QString filePath() const;

private:
    QVariant _value(const QString &group, const QString &key, const QVariant &defaultValue);
    // A stored whole number, or `defaultValue` when what is stored is none or out of range.
    int _intInRange(const QString &group, const QString &key, int defaultValue, int min, int max);

    QMutex m_mutex;
    QString m_folder;
    std::unique_ptr<QSettings> m_settings;
};

// Whether the battery settings a page sends can be stored: both margins whole numbers from 1 to 50,
// and defaultChargeLow, when it is given, a whole number from 0 to 90.
bool batterySettingInRange(const QJsonObject &json);

// The lower-cased second underscore-separated field of a locale name ("en_US" gives "us"); empty
// when the name has no underscore.
QString languageFromLocaleName(const QString &localeName);
