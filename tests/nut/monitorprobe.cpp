#include "monitorprobe.h"

#include "upsvariables.h"

#include <QJsonObject>
#include <QMutexLocker>
#include <QTest>

std::unique_ptr<NutBussiness> MonitorProbe::makeMonitor(std::shared_ptr<AmperlaneSettings> settings,
                                                        MonitorClock clock)
{
    auto notify = [this](const QString &ns, const QString &name, const QJsonValue &params) {
        QMutexLocker lock(&m_mutex);
        m_notes.append({ns, name, params});
    };
    auto detailPage = [this](bool on) {
        QMutexLocker lock(&m_mutex);
        m_detailPage.append(on);
    };
    auto monitor = std::make_unique<NutBussiness>(notify, detailPage, std::move(settings), nullptr,
                                                  std::move(clock));
    connect(monitor.get(), &NutBussiness::sigDevConnected, this,
            [this](const QString &sn) { connected.append(sn); });
    connect(monitor.get(), &NutBussiness::sigDevDisconnected, this, [this] { ++disconnected; });
    connect(monitor.get(), &NutBussiness::sigIsOnBattery, this,
            [this](bool status) { onBattery.append(status); });
    connect(monitor.get(), &NutBussiness::sigShowWindowOnTop, this, [this] { ++raised; });
    connect(monitor.get(), &NutBussiness::sigLowPowerStage, this, [this](int stage, int interval) {
        stages.append({stage, interval});
    });
    connect(monitor.get(), &NutBussiness::sigUpsLinkLost, this,
            [this](bool lost) { linkLost.append(lost); });
    connect(monitor.get(), &NutBussiness::sigWakingUp, this,
            [this](bool waking) { wakingUp.append(waking); });
    return monitor;
}

QList<MonitorProbe::Note> MonitorProbe::notes() const
{
    QMutexLocker lock(&m_mutex);
    // A list of its own: with a shared copy, the monitor thread's next append could move the
    // elements out of the buffer this thread is still reading.
    return QList<Note>(m_notes.cbegin(), m_notes.cend());
}

QList<MonitorProbe::Note> MonitorProbe::notes(const QString &name) const
{
    QList<Note> matching;
    for (const Note &note : notes()) {
        if (note.name == name)
            matching.append(note);
    }
    return matching;
}

QList<bool> MonitorProbe::detailPageCalls() const
{
    QMutexLocker lock(&m_mutex);
    return m_detailPage;
}

bool MonitorProbe::waitForStep(const QString &charge, const QString &status, int timeoutMs)
{
    const int start = notes().size();
    int shownAt = -1;
    return QTest::qWaitFor(
        [&] {
            const QList<Note> all = notes();
            for (int i = std::max(start, shownAt + 1); i < all.size(); ++i) {
                if (all[i].name != "notifyUPSDeviceInfo")
                    continue;
                if (shownAt >= 0)
                    return true;
                const QJsonObject info = all[i].params.toObject();
                if (info.value("battery.charge").toString() == charge &&
                    info.value("ups.status").toBool() == statusOnBattery(status) &&
                    info.value("ups.chargeStatus").toBool() == statusCharging(status))
                    shownAt = i;
            }
            return false;
        },
        timeoutMs);
}

bool MonitorProbe::waitForNote(const QString &name, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return notes(name).size() >= count; }, timeoutMs);
}
