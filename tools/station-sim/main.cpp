// station-sim: plays a power station from a scenario file, on a pseudo-terminal for the serial
// frame protocol and through a dummy-ups .dev file for NUT.

#include "nutdevfile.h"
#include "scenario.h"
#include "stationpty.h"
#include "stationresponder.h"
#include "stationstate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// The link path, removed when the simulator is stopped by a signal.
char linkToRemove[4096];

void onTerminate(int)
{
    if (linkToRemove[0])
        ::unlink(linkToRemove);
    ::_exit(0);
}

int fail(const QString &message)
{
    QTextStream(stderr) << "station-sim: " << message << Qt::endl;
    return 2;
}

bool writeTextFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
}

bool makeLink(const QString &target, const QString &link)
{
    const QByteArray encoded = QFile::encodeName(link);
    if (size_t(encoded.size()) >= sizeof linkToRemove)
        return false;
    ::unlink(encoded.constData());
    if (::symlink(QFile::encodeName(target).constData(), encoded.constData()) != 0)
        return false;
    qstrncpy(linkToRemove, encoded.constData(), sizeof linkToRemove);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("station-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a power station: serial frames on a pseudo-terminal, UPS variables "
                       "for NUT's dummy-ups."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("scenario"), QStringLiteral("Scenario JSON file."));
    const QCommandLineOption ptyFile(QStringLiteral("pty-file"),
                                     QStringLiteral("Write the serial device path to <file>."),
                                     QStringLiteral("file"));
    const QCommandLineOption link(
        QStringLiteral("link"), QStringLiteral("Make <path> a symbolic link to the serial device."),
        QStringLiteral("path"));
    const QCommandLineOption dev(QStringLiteral("dev"),
                                 QStringLiteral("Keep the dummy-ups .dev <file> up to date."),
                                 QStringLiteral("file"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Run scenario time <factor> times faster."),
                                   QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption noSerial(QStringLiteral("no-serial"),
                                      QStringLiteral("Do not open a pseudo-terminal."));
    parser.addOptions({ptyFile, link, dev, speed, noSerial});
    parser.process(app);

    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("give exactly one scenario file (see --help)"));
    bool speedOk = false;
    const double factor = parser.value(speed).toDouble(&speedOk);
    if (!speedOk || factor <= 0)
        return fail(QStringLiteral("--speed needs a positive number"));

    QString error;
    const std::optional<Scenario> scenario =
        loadScenario(parser.positionalArguments().first(), &error);
    if (!scenario)
        return fail(error);

    QElapsedTimer clock;
    clock.start();
    const auto elapsed = [&clock, factor] { return clock.nsecsElapsed() / 1e9 * factor; };

    std::signal(SIGTERM, onTerminate);
    std::signal(SIGINT, onTerminate);

    StationResponder responder(*scenario);
    StationPty pty(responder, elapsed);
    if (!parser.isSet(noSerial)) {
        if (!pty.open(&error))
            return fail(error);
        if (parser.isSet(link) && !makeLink(pty.slavePath(), parser.value(link)))
            return fail(QStringLiteral("cannot create the link %1").arg(parser.value(link)));
        if (parser.isSet(ptyFile) && !writeTextFile(parser.value(ptyFile), pty.slavePath() + '\n'))
            return fail(QStringLiteral("cannot write %1").arg(parser.value(ptyFile)));
        std::printf("%s\n", qPrintable(pty.slavePath()));
        std::fflush(stdout);
    }

    QTimer nutTimer;
    QJsonObject lastVariables;
    if (parser.isSet(dev)) {
        const QString devPath = parser.value(dev);
        // The timer calls this after the block has ended: the path is kept by value.
        const auto updateDevFile = [&, devPath] {
            const double now = scenarioTime(*scenario, elapsed());
            const QJsonObject variables = nutVariables(*scenario, stationStateAt(*scenario, now));
            if (variables == lastVariables)
                return;
            if (writeNutDevFile(devPath, variables))
                lastVariables = variables;
            else
                QTextStream(stderr) << "station-sim: cannot write " << devPath << Qt::endl;
        };
        updateDevFile();
        QObject::connect(&nutTimer, &QTimer::timeout, &app, updateDevFile);
        nutTimer.start(1000);
    }
    return app.exec();
}
