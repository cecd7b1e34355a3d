#pragma once

#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "commandlauncher.h"
#include "commandrunner.h"
#include "pageclient.h"
#include "silentlogger.h"
#include "tqjrpcserverwebsocket.h"

#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// One program start the service asked for, through the launcher or the shutdown runner.
struct Launch
{
    QString program;
    QStringList arguments;
};

// The service in its worker thread behind a real WebSocket server on an ephemeral port, in the
// running version's folder <root>/1.0.0.14. NUT is configured as a remote server that is not
// there, so the monitor finds no UPS; the command launcher and the shutdown runner only record what
// they are asked to start, and the runner answers with `shutdownOutcome`.
class ServiceBehindServer : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A page connected to the server.
    std::unique_ptr<PageClient> page();
    std::vector<Launch> launchesSoFar();
    std::vector<Launch> shutdownsSoFar();
    void setShutdownOutcome(const CommandOutcome &outcome);

    QTemporaryDir root;
    QString appDir;
    std::shared_ptr<AmperlaneSettings> settings;
    std::shared_ptr<AmperlaneJrpcService> service;
    TQJrpc::TQJrpcServerWebsocket server{nullptr, QSharedPointer<SilentLogger>::create(), 0};

private:
    // The service thread starts programs while the test reads what was started.
    QMutex launchMutex;
    std::vector<Launch> launches;
    std::vector<Launch> shutdowns;
    CommandOutcome shutdownOutcome{true, QString()};
    CommandLauncher previousLauncher;
};
