#pragma once

#include <QtGlobal>

#include <functional>

// The clock the monitor reads once at the start of each step, in milliseconds. It must go on
// while the PC sleeps, so that the first step after a wake-up shows as one; tests replace it.
using MonitorClock = std::function<qint64()>;

// The wall clock: it counts the time asleep, and a jump of the clock reads as a wake-up at worst.
qint64 wallClockMs();

// A step that starts more than 10 s after the previous one began (or before it, when the clock
// went back) follows a sleep or a long pause: its values are shown but not acted on.
bool isWakeUpGap(qint64 previousStartMs, qint64 startMs);
