#pragma once

#include <QtGlobal>

#include <optional>

// Notices a UPS that has not been read for 15 s while its last known status was on battery (a
// remote server gone, a USB cable pulled, a dead driver), once per loss, and when it is read
// again. Times are the monitor's step times in milliseconds.
class UpsLinkWatch
{
public:
    static constexpr qint64 kLostAfterMs = 15000;

    // A step read the UPS. `charge` is the whole percent it reported, none when unreadable (the
    // last known charge stays). True when the link had been reported lost and is back now.
    bool read(qint64 nowMs, bool onBattery, std::optional<int> charge);
    // A step could not read the UPS. Gives the seconds since the last reading when the loss is to
    // be reported now: on battery, 15 s or more, not reported yet.
    std::optional<int> unread(qint64 nowMs);
    // The PC slept: the time asleep is no time without a reading.
    void wokeUp(qint64 nowMs);

    std::optional<int> lastCharge() const { return m_lastCharge; }

private:
    std::optional<qint64> m_lastReadMs;
    bool m_onBattery = false;
    std::optional<int> m_lastCharge;
    bool m_lost = false;
};
