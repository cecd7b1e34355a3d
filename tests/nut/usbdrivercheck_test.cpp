#include "amperlanesettings.h"
#include "nutbussiness.h"
#include "nutcmdexec.h"
#include "usbdrivercheck.h"
#include "usbdriversetup.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// One line per call, in the order the monitor thread made them: the driver setup, the check's
// notifications and the stand-in NUT tools all write here.
class Journal
{
public:
    explicit Journal(QString path) : m_path(std::move(path)) {}

    void append(const QString &line) const
    {
        QFile file(m_path);
        if (file.open(QIODevice::Append))
            file.write(line.toUtf8() + '\n');
    }

    QStringList lines() const
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // The calls of each monitoring step; a step begins by asking whether the station is there.
    QList<QStringList> steps() const
    {
        QList<QStringList> steps;
        for (const QString &line : lines()) {
            if (line == "present?")
                steps.append(QStringList());
            if (!steps.isEmpty())
                steps.last().append(line);
        }
        return steps;
    }

private:
    QString m_path;
};

// What the machine's USB side looks like to the driver setup.
struct Machine
{
    bool present = true;
    bool composite = true;
    bool interfacesReady = true;
    bool compositeInstalls = true;
    bool interfacesInstall = true;
};

class FakeDriverSetup : public UsbDriverSetup
{
public:
    FakeDriverSetup(const Journal &journal, Machine machine, QSemaphore *gate)
        : m_journal(journal), m_machine(machine), m_gate(gate)
    {
    }

    void letInstallsSucceed()
    {
        QMutexLocker lock(&m_mutex);
        m_machine.compositeInstalls = true;
        m_machine.interfacesInstall = true;
    }

    bool isUsbDevicePresent(bool &isComposite) override
    {
        m_journal.append("present?");
        QMutexLocker lock(&m_mutex);
        isComposite = m_machine.composite;
        return m_machine.present;
    }

    bool installCompositeDriver() override
    {
        m_journal.append("install composite");
        QMutexLocker lock(&m_mutex);
        m_machine.composite = m_machine.compositeInstalls;
        return m_machine.compositeInstalls;
    }

    bool areInterfaceDriversReady() override
    {
        m_journal.append("interfaces ready?");
        QMutexLocker lock(&m_mutex);
        return m_machine.interfacesReady;
    }

    bool installInterfaceDrivers() override
    {
        m_journal.append("install interfaces");
        if (m_gate)
            m_gate->tryAcquire(1, 20000);
        QMutexLocker lock(&m_mutex);
        m_machine.interfacesReady = m_machine.interfacesInstall;
        return m_machine.interfacesInstall;
    }

private:
    const Journal &m_journal;
    QMutex m_mutex;
    Machine m_machine;
    QSemaphore *m_gate;
};

const QString kLoading = "loading {}";
const QString kSucceeded = R"(result {"status":true})";
const QString kFailed = R"(result {"status":false})";

// The monitor in local mode with the check in front of each step. upsc answers a station, the
// stop script stands for a NUT restart.
class UsbDriverCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QByteArray journal = m_app.filePath("journal").toUtf8();
        script("linux/nut/bin/upsc", "echo upsc >> '" + journal + "'\n" +
                                         "printf 'ups.serial: SN1\\nups.status: OL\\n"
                                         "battery.charge: 80\\nbattery.charge.low: 10\\n'");
        script("linux/kill_processes.sh", "echo restart >> '" + journal + "'\necho done");
        script("linux/start_upsdrvctl.sh", "echo done");
        script("linux/start_upsd.sh", "echo done");
        NutCmdExec::setApplicationFolder(m_app.path());
        m_monitor = std::make_unique<NutBussiness>(
            [](const QString &, const QString &, const QJsonValue &) {}, [](bool) {},
            std::make_shared<AmperlaneSettings>(m_app.path()));
    }

    void TearDown() override
    {
        m_gate.release(10);
        m_monitor.reset();
        NutCmdExec::setApplicationFolder(QString());
    }

    void script(const QString &name, const QByteArray &body)
    {
        const QString path = m_app.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

    void start(Machine machine, bool gated = false)
    {
        m_setup = new FakeDriverSetup(m_journal, machine, gated ? &m_gate : nullptr);
        const Journal &journal = m_journal;
        UsbDriverCheck::install(
            *m_monitor, std::unique_ptr<UsbDriverSetup>(m_setup),
            [&journal](const QString &ns, const QString &name, const QJsonValue &params) {
                const QString what = name == "notifyUsbDriverInstallLoading" ? "loading" : "result";
                journal.append((ns == "global" ? what : ns + "." + name) + " " +
                               QJsonDocument(params.toObject()).toJson(QJsonDocument::Compact));
            });
        m_monitor->start();
    }

    // Waits until `count` steps have ended, that is until the next one has begun.
    bool waitForSteps(int count)
    {
        return QTest::qWaitFor([&] { return m_journal.steps().size() > count; }, 30000);
    }

    bool waitForLine(const QString &line)
    {
        return QTest::qWaitFor([&] { return m_journal.lines().contains(line); }, 30000);
    }

    QTemporaryDir m_app;
    Journal m_journal{m_app.filePath("journal")};
    QSemaphore m_gate;
    FakeDriverSetup *m_setup = nullptr;
    std::unique_ptr<NutBussiness> m_monitor;
};

struct StepCase
{
    const char *machine;
    Machine setup;
    QStringList firstStep;
    QStringList secondStep;
};

class UsbDriverCheckSteps : public UsbDriverCheckTest,
                            public ::testing::WithParamInterface<StepCase>
{
};

TEST_P(UsbDriverCheckSteps, EachStepFollowsTheMachine)
{
    start(GetParam().setup);
    ASSERT_TRUE(waitForSteps(2));
    const QList<QStringList> steps = m_journal.steps();
    EXPECT_EQ(steps[0], GetParam().firstStep);
    EXPECT_EQ(steps[1], GetParam().secondStep);
    EXPECT_FALSE(m_monitor->isUsbDriverInstalling());
}

INSTANTIATE_TEST_SUITE_P(
    Machines, UsbDriverCheckSteps,
    ::testing::Values(
        // NUT is restarted in every step while the station is away; the page hears nothing.
        StepCase{"absent",
                 Machine{false},
                 {"present?", "restart", "upsc"},
                 {"present?", "restart", "upsc"}},
        // Once NUT has identified the station its interface drivers are not asked about again.
        StepCase{"every driver in place",
                 Machine{},
                 {"present?", "interfaces ready?", "upsc"},
                 {"present?", "upsc"}},
        // New interface drivers: NUT restarted, then the result, all in the same step.
        StepCase{"interface drivers missing",
                 Machine{true, true, false},
                 {"present?", "interfaces ready?", kLoading, "install interfaces", "restart",
                  kSucceeded, "upsc"},
                 {"present?", "upsc"}},
        // One installation from the composite parent to the interfaces: one loading, one result.
        StepCase{"composite parent unbound",
                 Machine{true, false, false},
                 {"present?", kLoading, "install composite", "interfaces ready?",
                  "install interfaces", "restart", kSucceeded, "upsc"},
                 {"present?", "upsc"}}),
    [](const auto &info) {
        std::string name = info.param.machine;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

struct FailureCase
{
    const char *failing;
    Machine setup;
    QStringList failedStep;
    QStringList retriedStep;
};

class UsbDriverCheckFailures : public UsbDriverCheckTest,
                               public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(UsbDriverCheckFailures, PauseTheMonitorUntilThePageResumesIt)
{
    start(GetParam().setup);
    ASSERT_TRUE(waitForLine(kFailed));
    QTest::qWait(2500);
    EXPECT_EQ(m_journal.steps(), QList<QStringList>{GetParam().failedStep});
    EXPECT_FALSE(m_monitor->isUsbDriverInstalling());

    // What usbDriverInstall and setEnableConnectStatus(true) do: the next step tries again.
    m_setup->letInstallsSucceed();
    m_monitor->setEnabled(true);
    ASSERT_TRUE(waitForSteps(2));
    EXPECT_EQ(m_journal.steps()[1], GetParam().retriedStep);
}

INSTANTIATE_TEST_SUITE_P(
    Installs, UsbDriverCheckFailures,
    ::testing::Values(FailureCase{"composite",
                                  Machine{true, false, true, false},
                                  {"present?", kLoading, "install composite", kFailed},
                                  {"present?", kLoading, "install composite", "interfaces ready?",
                                   kSucceeded, "upsc"}},
                      FailureCase{"interfaces",
                                  Machine{true, true, false, true, false},
                                  {"present?", "interfaces ready?", kLoading, "install interfaces",
                                   kFailed},
                                  {"present?", "interfaces ready?", kLoading, "install interfaces",
                                   "restart", kSucceeded, "upsc"}}),
    [](const auto &info) { return std::string(info.param.failing); });

TEST_F(UsbDriverCheckTest, ThePageIsToldAnInstallationRunsWhileItRuns)
{
    start(Machine{true, true, false}, true);
    ASSERT_TRUE(waitForLine("install interfaces"));
    EXPECT_TRUE(m_monitor->isUsbDriverInstalling());
    m_gate.release();
    ASSERT_TRUE(waitForLine(kSucceeded));
    EXPECT_FALSE(m_monitor->isUsbDriverInstalling());
}

} // namespace
