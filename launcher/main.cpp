#include "launchplan.h"
#include "processguard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <cstdio>

namespace {

// An update starts the launcher just before the old version quits, and the old version takes a
// few seconds to end. Started earlier, the new version would hand itself over to the old one.
void waitForRunningInstanceToEnd()
{
    QDeadlineTimer deadline(30000);
    while (instanceMarkerHeld() && !deadline.hasExpired())
        QThread::msleep(200);
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
        waitForRunningInstanceToEnd();

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
