#pragma once

#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "silentlogger.h"
#include "stationsim.h"
#include "tqjrpcserverwebsocket.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

// The whole back end as the application runs it in local mode: the installation's NUT scripts
// serve the simulated station through dummy-ups on 127.0.0.1:3493, the same station answers the
// serial protocol on a pseudo-terminal, and pages talk to the service over a real WebSocket.
class StationBackend : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    virtual QJsonObject scenario() const { return testStation(); }

    // Where the serial link looks for the station from now on.
    void useSerialPty(const QString &path);
    // The running NUT server, 0 when there is none.
    qint64 nutServerPid() const;

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
};
