// bench_mains_reaction: how fast a mains failure reaches a connected page, beside NUT's upsmon.
//
//   bench_mains_reaction --host <bench_jrpc_host> --nut-linux <nut/linux> --work <folder>
//                        [--outages N]
//
// Runs a private NUT server on 127.0.0.1:3493 (waits while another one holds the port) and prints
// one JSON line.

#include "mainsreactionrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption hostOption("host", "The bench_jrpc_host program.", "path");
    const QCommandLineOption nutOption("nut-linux", "The installation's Linux NUT tools.", "dir");
    const QCommandLineOption workOption("work", "Private working folder (emptied).", "dir");
    const QCommandLineOption outagesOption("outages", "Number of outages (1-100).", "n", "20");
    parser.addOptions({hostOption, nutOption, workOption, outagesOption});
    parser.process(app);

    ReactionSettings settings;
    settings.hostProgram = parser.value(hostOption);
    settings.nutLinuxDir = parser.value(nutOption);
    settings.workDir = parser.value(workOption);
    settings.outages = parser.value(outagesOption).toInt();
    if (settings.hostProgram.isEmpty() || settings.nutLinuxDir.isEmpty() ||
        settings.workDir.isEmpty() || settings.outages < 1 || settings.outages > 100)
        parser.showHelp(2);

    MainsReactionRun run(settings);
    const QJsonObject result = run.run();
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return result.contains(QLatin1String("error")) ? 1 : 0;
}
