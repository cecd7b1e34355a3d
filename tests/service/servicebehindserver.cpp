#include "servicebehindserver.h"

#include <QDir>
#include <QMutexLocker>

void ServiceBehindServer::SetUp()
{
    ASSERT_TRUE(root.isValid());
    appDir = root.filePath("1.0.0.14");
    ASSERT_TRUE(QDir().mkpath(appDir));
    previousLauncher = replaceCommandLauncher([this](const QString &p, const QStringList &a) {
        QMutexLocker lock(&launchMutex);
        launches.push_back({p, a});
        return true;
    });
    settings = std::make_shared<AmperlaneSettings>(appDir);
    settings->setValue("connectModeParam", "mode", "remote");
    settings->setValue("connectModeParam", "nutPort", "1");
    service = std::make_shared<AmperlaneJrpcService>(
        settings, [](bool) {}, nullptr, appDir,
        [this](const QString &p, const QStringList &a, const CommandDone &done) {
            CommandOutcome outcome;
            {
                QMutexLocker lock(&launchMutex);
                shutdowns.push_back({p, a});
                outcome = shutdownOutcome;
            }
            done(outcome);
        });
    server.setServices({service.get()}, ".");
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
}

void ServiceBehindServer::TearDown()
{
    service.reset();
    replaceCommandLauncher(previousLauncher);
}

std::unique_ptr<PageClient> ServiceBehindServer::page()
{
    auto client = std::make_unique<PageClient>(server.serverPort());
    EXPECT_TRUE(client->isConnected());
    return client;
}

std::vector<Launch> ServiceBehindServer::launchesSoFar()
{
    QMutexLocker lock(&launchMutex);
    return launches;
}

std::vector<Launch> ServiceBehindServer::shutdownsSoFar()
{
    QMutexLocker lock(&launchMutex);
    return shutdowns;
}

void ServiceBehindServer::setShutdownOutcome(const CommandOutcome &outcome)
{
    QMutexLocker lock(&launchMutex);
    shutdownOutcome = outcome;
}
