#include "monitorclock.h"

#include <QDateTime>

namespace {

constexpr qint64 kWakeUpGapMs = 10000;

} // namespace

qint64 wallClockMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool isWakeUpGap(qint64 previousStartMs, qint64 startMs)
{
    return startMs - previousStartMs > kWakeUpGapMs || startMs < previousStartMs;
}
