#include "installedprogram.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <sched.h>

namespace {

void copyFile(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    ASSERT_TRUE(QFile::copy(from, to)) << qPrintable(from);
}

bool portIsFree(quint16 port)
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

} // namespace

bool InstalledProgram::hasPrivateNetwork()
{
    static const bool available = QProcess::execute("unshare", {"-n", "true"}) == 0;
    return available;
}

bool InstalledProgram::portsUsable()
{
    return hasPrivateNetwork() || waitForFreePorts();
}

bool InstalledProgram::waitForFreePorts()
{
    return QTest::qWaitFor([] { return portIsFree(57890) && portIsFree(13579); }, 180000);
}

bool InstalledProgram::enterPrivateNetwork()
{
    // Processes this thread starts later inherit the namespace.
    return ::unshare(CLONE_NEWNET) == 0 &&
           QProcess::execute("ip", {"link", "set", "lo", "up"}) == 0;
}

InstalledProgram::InstalledProgram()
{
    // The program finds its folder through the real path of its executable, so it is copied
    // rather than linked.
    copyFile(AMPERLANE_PROGRAM_PATH, appDir() + "/Amperlane");
    copyFile(AMPERLANE_TEST_PAGE, appDir() + "/build/index.html");
    QDir().mkpath(m_dir.path() + "/home");
    QDir().mkpath(m_dir.path() + "/run");
    QDir().mkpath(m_dir.path() + "/tmp");
    QFile::setPermissions(m_dir.path() + "/run",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert("HOME", m_dir.path() + "/home");
    m_environment.insert("TMPDIR", m_dir.path() + "/tmp");
    m_environment.insert("XDG_RUNTIME_DIR", m_dir.path() + "/run");
    m_environment.insert("LC_ALL", "en_US.UTF-8");
    m_environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

InstalledProgram::~InstalledProgram()
{
    for (auto &process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(10000);
        }
    }
}

QString InstalledProgram::topDir() const
{
    return m_dir.path();
}

QString InstalledProgram::appDir() const
{
    return m_dir.path() + "/1.0.0.14";
}

QProcess *InstalledProgram::start(const QProcessEnvironment &extra, const QString &prelude)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = m_environment;
    for (const QString &key : extra.keys())
        environment.insert(key, extra.value(key));
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(m_dir.path());
    const QString program = appDir() + "/Amperlane";
    if (m_privateNetwork) {
        const QString script = "ip link set lo up && " + prelude + " exec \"$0\"";
        process->start("unshare", {"-n", "sh", "-c", script, program});
    } else {
        process->start(program, {});
    }
    process->waitForStarted();
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QString InstalledProgram::log() const
{
    QFile file(
        QStringLiteral("%1/log/%2.log").arg(appDir(), QDate::currentDate().toString("yyyy-MM-dd")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool InstalledProgram::waitForLog(const QString &text, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return log().count(text) >= count; }, timeoutMs);
}
