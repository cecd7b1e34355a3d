#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A private installation of the real program with the test page, run with its own home, temporary
// and runtime folders, so it neither meets a program the user runs nor leaves anything behind.
class InstalledProgram
{
public:
    // Where the system allows it, every copy runs in a network namespace of its own, so the
    // fixed ports never meet those of programs other test suites on this machine run.
    static bool hasPrivateNetwork();
    // Without a private network: waits (bounded) until the fixed ports are free on 127.0.0.1.
    static bool portsUsable();
    // Moves this test process into a network namespace of its own (with its loopback up), so the
    // test can talk to a copy started with useHostNetwork() on the fixed ports undisturbed.
    static bool enterPrivateNetwork();
    static bool waitForFreePorts();

    InstalledProgram();
    ~InstalledProgram();

    QString appDir() const;
    QString topDir() const;
    QString homeName() const { return QStringLiteral("home"); }
    // Later copies run in the test's own network (after portsUsable()), for tests that talk to
    // the program over the loopback interface.
    void useHostNetwork() { m_privateNetwork = false; }

    // Starts one more copy of the program with `extra` added to the private environment. With a
    // private network, the shell command `prelude` runs in that network first.
    QProcess *start(const QProcessEnvironment &extra = {}, const QString &prelude = {});
    // Waits for `text` to appear in today's log file `count` times at least.
    bool waitForLog(const QString &text, int count = 1, int timeoutMs = 60000) const;
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    bool m_privateNetwork = hasPrivateNetwork();
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
