#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What became of a command watched for its first seconds: `ok` when it started and did not exit
// with an error meanwhile; `words` is what it printed, or why it could not start.
struct CommandOutcome
{
    bool ok = false;
    QString words;
};

using CommandDone = std::function<void(const CommandOutcome &outcome)>;

// Starts a program and reports its outcome through `done`, exactly once, from the calling
// thread's event loop; it never blocks. The low-battery shutdown goes through here; tests give
// the service a runner of their own, so that nothing they do can switch the machine off.
using CommandRunner =
    std::function<void(const QString &program, const QStringList &arguments, CommandDone done)>;

// Runs the program as a process of its own and watches it for `watchMs`: an error starting it, a
// crash or an exit code other than 0 in that time is a failure; still running then is success.
// A command that outlives the watch is left running.
CommandRunner processCommandRunner(int watchMs = 5000);
