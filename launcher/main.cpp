#include "instancewait.h"
#include "launchplan.h"
#include "processguard.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {

void waitForOldVersionToEnd()
{
    const bool ended = waitWhileRunning(instanceMarkerHeld, InstanceWait{}, [](long long seconds) {
        std::fprintf(stderr,
                     "Amperlane launcher: still waiting for the running version to end (%lld s)\n",
                     seconds);
    });
    if (!ended)
        std::fprintf(stderr,
                     "Amperlane launcher: the running version has not ended; starting anyway\n");
}

} // namespace

// Starts the version of the program that launcher.ini names, falling back to the previous one,
// and ends.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString topDir = QCoreApplication::applicationDirPath();
    const LaunchPlan plan = readLaunchPlan(topDir);
    if (plan.updatePending)
        waitForOldVersionToEnd();

    for (const QString &program : plan.programs) {
        if (QProcess::startDetached(program, {}, QFileInfo(program).absolutePath()))
            return 0;
        std::fprintf(stderr, "Amperlane launcher: cannot start %s\n", qPrintable(program));
    }
    std::fprintf(stderr,
                 "Amperlane launcher: %s/launcher.ini names no version that can be started\n",
                 qPrintable(topDir));
    return 1;
}
