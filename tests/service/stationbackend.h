#pragma once

#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "silentlogger.h"
#include "stationsim.h"
#include "tqjrpcserverwebsocket.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

// The whole back end as the application runs it in local mode: the installation's NUT scripts
// serve the simulated station through dummy-ups on 127.0.0.1:3493, the same station answers the
// serial protocol on a pseudo-terminal, and pages talk to the service over a real WebSocket. The
// shutdown runner only records when it is asked, and succeeds.
class StationBackend : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    virtual QJsonObject scenario() const { return testStation(); }
    // The user's settings before the service starts.
    virtual void configure(AmperlaneSettings &) {}

    // Where the serial link looks for the station from now on.
    void useSerialPty(const QString &path);
    // The running NUT server, 0 when there is none.
    qint64 nutServerPid() const;
    // When the service started the shutdown, in ms since the start of the test.
    std::vector<qint64> shutdownTimes() const;
    qint64 sinceStart() const { return clock.elapsed(); }

    QTemporaryDir root;
    QString appDir;
    QString stateDir;
    std::unique_ptr<StationSim> sim;
    std::atomic<bool> deviceDetailPage{false};
    std::shared_ptr<AmperlaneSettings> settings;
    std::shared_ptr<AmperlaneJrpcService> service;
    TQJrpc::TQJrpcServerWebsocket server{nullptr, QSharedPointer<SilentLogger>::create(), 0};

private:
    // The service thread lists the ports while a test may switch them.
    mutable QMutex ptyMutex;
    QString serialPty;
    QElapsedTimer clock;
    std::vector<qint64> shutdowns;
};
