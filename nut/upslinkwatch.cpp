#include "upslinkwatch.h"

bool UpsLinkWatch::read(qint64 nowMs, bool onBattery, std::optional<int> charge)
{
    m_lastReadMs = nowMs;
    m_onBattery = onBattery;
    if (charge)
        m_lastCharge = charge;
    const bool wasLost = m_lost;
    m_lost = false;
    return wasLost;
}

std::optional<int> UpsLinkWatch::unread(qint64 nowMs)
{
    if (m_lost || !m_onBattery || !m_lastReadMs || nowMs - *m_lastReadMs < kLostAfterMs)
        return std::nullopt;
    m_lost = true;
    return int((nowMs - *m_lastReadMs) / 1000);
}

void UpsLinkWatch::wokeUp(qint64 nowMs)
{
    if (m_lastReadMs && !m_lost)
        m_lastReadMs = nowMs;
}
