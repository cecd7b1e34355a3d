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
    // Other test suites on this machine run the program too: waits (bounded) until the program's
    // fixed ports are free on 127.0.0.1.
    static bool waitForFreePorts(int timeoutMs = 180000);

    InstalledProgram();
    ~InstalledProgram();

    QString appDir() const;
    QString topDir() const;
    QString homeName() const { return QStringLiteral("home"); }

    // Starts one more copy of the program with `environment` added to the private one.
    QProcess *start(const QProcessEnvironment &extra = {});
    // Waits for `text` to appear in today's log file `count` times at least.
    bool waitForLog(const QString &text, int count = 1, int timeoutMs = 60000) const;
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
