#include "commandrunner.h"

#include <QDebug>
#include <QProcess>
#include <QTimer>

#include <memory>
#include <utility>

namespace {

// A chatty command must not fill the page's dialog.
constexpr int kMaxWordsLength = 500;

QString wordsOf(QProcess *process)
{
    return QString::fromLocal8Bit(process->readAll()).trimmed().left(kMaxWordsLength);
}

void runWatched(int watchMs, const QString &program, const QStringList &arguments, CommandDone done)
{
    // Not owned by anything that ends before it: a command still running when the program ends
    // goes on. The object deletes itself once the process has finished.
    auto *process = new QProcess;
    auto pending = std::make_shared<CommandDone>(std::move(done));
    const auto report = [pending](bool ok, const QString &words) {
        if (!*pending)
            return;
        const CommandDone done = std::exchange(*pending, CommandDone());
        done({ok, words});
    };
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(
        process, &QProcess::errorOccurred, process,
        [process, program, report](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            report(
                false,
                QStringLiteral("%1 could not be started: %2").arg(program, process->errorString()));
            process->deleteLater();
        });
    QObject::connect(
        process, &QProcess::finished, process,
        [process, program, report](int exitCode, QProcess::ExitStatus status) {
            const QString words = wordsOf(process);
            const bool ok = status == QProcess::NormalExit && exitCode == 0;
            qDebug().noquote() << QStringLiteral("%1 ended with code %2: %3")
                                      .arg(program)
                                      .arg(status == QProcess::NormalExit ? exitCode : -1)
                                      .arg(words);
            if (ok)
                report(true, words);
            else if (status != QProcess::NormalExit)
                report(false, words.isEmpty() ? QStringLiteral("%1 crashed").arg(program) : words);
            else
                report(false,
                       words.isEmpty()
                           ? QStringLiteral("%1 exited with code %2").arg(program).arg(exitCode)
                           : words);
            process->deleteLater();
        });
    QTimer::singleShot(watchMs, process, [process, report] {
        if (process->state() == QProcess::Running)
            report(true, wordsOf(process));
    });
    process->start(program, arguments);
}

} // namespace

CommandRunner processCommandRunner(int watchMs)
{
    return [watchMs](const QString &program, const QStringList &arguments, CommandDone done) {
        runWatched(watchMs, program, arguments, std::move(done));
    };
}
