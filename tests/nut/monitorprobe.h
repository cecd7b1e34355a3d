#pragma once

#include "nutbussiness.h"

#include <QJsonValue>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class AmperlaneSettings;

// Builds a monitor whose callbacks and signals are recorded, and waits for its steps.
class MonitorProbe : public QObject
{
    Q_OBJECT
public:
    struct Note
    {
        QString ns;
        QString name;
        QJsonValue params;
    };

    std::unique_ptr<NutBussiness> makeMonitor(std::shared_ptr<AmperlaneSettings> settings,
                                              MonitorClock clock = wallClockMs);

    QList<Note> notes() const;
    QList<Note> notes(const QString &name) const;
    QList<bool> detailPageCalls() const;

    // Waits until a step has shown `charge` with the given status and the step after it has begun,
    // so everything the first of them sends has been sent.
    bool waitForStep(const QString &charge, const QString &status, int timeoutMs = 20000);
    bool waitForNote(const QString &name, int count, int timeoutMs = 20000);

    QList<QString> connected;
    int disconnected = 0;
    QList<bool> onBattery;
    int raised = 0;
    // sigLowPowerStage as (stage, interval), sigUpsLinkLost, sigWakingUp.
    QList<QPair<int, int>> stages;
    QList<bool> linkLost;
    QList<bool> wakingUp;

private:
    mutable QMutex m_mutex;
    QList<Note> m_notes;
    QList<bool> m_detailPage;
};
