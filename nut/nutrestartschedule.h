#pragma once

#include <QtGlobal>

// When the monitor restarts a local NUT service that answers nothing although the station is
// there (a crashed or killed server or driver): after 10 empty steps in a row, then 30 s, 60 s and
// 120 s after the previous restart, then every 5 minutes, until NUT answers again.
class NutRestartSchedule
{
public:
    // One step without an answer, begun at `nowMs`; true when NUT is to be restarted now.
    bool emptyStep(qint64 nowMs);
    // NUT answered, or the station is not there (then the driver check restarts NUT itself).
    void reset();
    int restarts() const { return m_restarts; }

private:
    int m_emptySteps = 0;
    int m_restarts = 0;
    qint64 m_lastRestartMs = 0;
};
