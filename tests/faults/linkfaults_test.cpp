// The station's serial link and a page's pending self-test when things go away underneath them,
// with the whole back end running: real NUT over the simulated station and the real service.

#include "nutcmdexec.h"
#include "pageclient.h"
#include "stationbackend.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

class LinkFaults : public StationBackend
{
protected:
    // A self-test long enough for a page to leave while it runs.
    QJsonObject scenario() const override { return testStation(true, 4); }

    static std::unique_ptr<PageClient> homePage(quint16 port)
    {
        auto page = std::make_unique<PageClient>(port);
        EXPECT_TRUE(page->isConnected());
        EXPECT_EQ(page->call("global.enableNotify", QJsonObject{{"pageName", "homePage"}}),
                  QJsonValue(true));
        return page;
    }

    // Waits for `count` more readings of the serial link than the page has seen so far.
    static bool serialReadingsGoOn(PageClient &page, int count, int ms)
    {
        const QString name = "homePage.notifyCompositeDeviceInfo";
        return page.nextNotification(name, page.notifications(name).size() + count - 1, ms)
            .has_value();
    }

    static QStringList connectStatuses(const PageClient &page)
    {
        QStringList statuses;
        for (const QJsonValue &note : page.notifications("global.notifyDevConnectStatus"))
            statuses.append(note.toObject().value("status").toString());
        return statuses;
    }
};

// The serial side of the station goes away while a self-test is being polled (its
// pseudo-terminal closes) and comes back on another one. The self-test is answered as without a
// link, and the link stays closed while NUT still sees the station; when NUT next reports the
// station connected, the link is made again.
TEST_F(LinkFaults, SerialLinkLostMidPollIsRemadeWhenNutReportsTheStationAgain)
{
    auto serialSide = std::make_unique<StationSim>(testStation(true, 600));
    ASSERT_FALSE(serialSide->ptyPath().isEmpty());
    useSerialPty(serialSide->ptyPath());
    auto page = homePage(server.serverPort());
    ASSERT_TRUE(serialReadingsGoOn(*page, 2, 60000));
    const QString selfTest = page->send("homePage.selfTest");
    waitUntil([] { return false; }, 1500);

    serialSide.reset();
    EXPECT_EQ(page->result(selfTest, 3000), QJsonValue(QJsonObject{{"data", 4}}));
    // A reading already on its way may still arrive; then they stop.
    waitUntil([] { return false; }, 1000);
    const int readings = page->notifications("homePage.notifyCompositeDeviceInfo").size();
    EXPECT_EQ(page->call("homePage.selfTest"), QJsonValue(4));
    EXPECT_FALSE(serialReadingsGoOn(*page, 1, 3000));
    EXPECT_EQ(page->notifications("homePage.notifyCompositeDeviceInfo").size(), readings);
    EXPECT_EQ(connectStatuses(*page), QStringList{"connectDev"});
    EXPECT_EQ(page->call("global.getDeviceSn"), QJsonValue("SN-TEST-0001"));

    serialSide = std::make_unique<StationSim>(testStation());
    useSerialPty(serialSide->ptyPath());
    // The new terminal alone does not bring the link back: NUT has not lost the station.
    EXPECT_FALSE(serialReadingsGoOn(*page, 1, 2500));

    // NUT's server dies and is started again: the station is lost once and reported again, and
    // the link is made to the new terminal.
    const qint64 upsd = nutServerPid();
    ASSERT_GT(upsd, 0);
    ASSERT_EQ(::kill(pid_t(upsd), SIGKILL), 0);
    ASSERT_TRUE(waitUntil([&] { return connectStatuses(*page).contains("noDev"); }, 30000));
    NutCmdExec::restartNutService();
    ASSERT_TRUE(waitUntil(
        [&] {
            return connectStatuses(*page) == QStringList{"connectDev", "noDev", "connectDev"};
        },
        60000))
        << connectStatuses(*page).join(' ').toStdString();
    ASSERT_TRUE(page->call("global.enableNotify", QJsonObject{{"pageName", "homePage"}}));
    EXPECT_TRUE(serialReadingsGoOn(*page, 2, 15000));
    EXPECT_EQ(page->call("homePage.selfTest", QJsonValue::Undefined, 15000), QJsonValue(3));
}

// The page that started a self-test closes before the answer: the test still runs to its end and
// is recorded, its answer is dropped quietly, another page is served meanwhile, and the next
// self-test is not refused as if the first were still running.
TEST_F(LinkFaults, PageLeavingWhileItsSelfTestRunsLeavesTheServiceWorking)
{
    auto asker = homePage(server.serverPort());
    auto other = homePage(server.serverPort());
    ASSERT_TRUE(serialReadingsGoOn(*other, 1, 60000));
    EXPECT_EQ(other->call("homePage.getLastSelfTestTime"), QJsonValue(QJsonObject()));

    asker->send("homePage.selfTest");
    waitUntil([] { return false; }, 500);
    asker.reset();

    EXPECT_EQ(other->call("global.getDeviceSn"), QJsonValue("SN-TEST-0001"));
    EXPECT_TRUE(serialReadingsGoOn(*other, 2, 5000));
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto last = other->call("homePage.getLastSelfTestTime");
            return last && last->toObject().value("res") == QJsonValue(true);
        },
        15000));
    EXPECT_EQ(other->call("homePage.selfTest", QJsonValue::Undefined, 15000), QJsonValue(3));
}

} // namespace
