#pragma once

#include "amperlanesettings.h"
#include "monitorprobe.h"
#include "nutbussiness.h"
#include "nutcmdexec.h"
#include "nutinstallation.h"

#include <gtest/gtest.h>

#include <memory>

// The monitor in local mode, on the installation's own NUT scripts and a simulated station.
class LocalMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_nut.waitForFreePort());
        NutCmdExec::setApplicationFolder(m_nut.appDir());
        m_settings = std::make_shared<AmperlaneSettings>(m_nut.appDir());
    }

    void TearDown() override
    {
        m_monitor.reset();
        NutCmdExec::setApplicationFolder(QString());
    }

    // Starts monitoring with the home page shown.
    void startMonitor(MonitorClock clock = wallClockMs)
    {
        m_monitor = m_probe.makeMonitor(m_settings, std::move(clock));
        m_monitor->setNotifyPage("homePage", true);
        m_monitor->start();
    }

    NutInstallation m_nut;
    std::shared_ptr<AmperlaneSettings> m_settings;
    MonitorProbe m_probe;
    std::unique_ptr<NutBussiness> m_monitor;
};
