// bench_jrpc_host: the program's JSON-RPC server (in a thread of its own, as in the program) with
// the application service behind it, on an ephemeral loopback port and without a window, so the
// load and reaction benchmarks reach the same request path a page reaches.
//
//   bench_jrpc_host --app-dir <folder> [--mode local|remote]
//
// Prints "port <n>" once listening; ends when its standard input closes. Log lines go to the
// program's daily file in "log" beside this executable. Local mode runs the
// installation's NUT scripts found in <folder>/linux; remote mode points the monitor at a server
// that is not there, so it only idles.

#include "amperlanejrpcservice.h"
#include "amperlanesettings.h"
#include "commandlauncher.h"
#include "filemessagehandler.h"
#include "nutcmdexec.h"
#include "tqjrpcserverwebsocket.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

struct Options
{
    QString appDir;
    QString mode;
};

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    const QCommandLineOption appDir(QStringLiteral("app-dir"),
                                    QStringLiteral("Application folder (settings, NUT tools)."),
                                    QStringLiteral("folder"));
    const QCommandLineOption mode(QStringLiteral("mode"), QStringLiteral("local or remote."),
                                  QStringLiteral("mode"), QStringLiteral("remote"));
    parser.addHelpOption();
    parser.addOptions({appDir, mode});
    parser.process(app);
    if (!parser.isSet(appDir))
        parser.showHelp(2);
    return {QDir(parser.value(appDir)).absolutePath(), parser.value(mode)};
}

quint16 listenInOwnThread(TQJrpc::TQJrpcServerWebsocket *server)
{
    auto *thread = new QThread(server);
    server->moveToThread(thread);
    thread->start(QThread::InheritPriority);
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server,
        [server, &port] {
            if (server->listen(QHostAddress::LocalHost, 0))
                port = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
    return port;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(app);
    // Every request is logged, as in the program: one line of the daily file per message.
    qInstallMessageHandler(fileMessageHandler);
    QDir().mkpath(options.appDir);
    // The protocol log goes where the program would write it: the current folder.
    QDir::setCurrent(options.appDir);

    // A benchmark never switches the machine off (the service's shutdown runner below) nor starts
    // another program.
    replaceCommandLauncher([](const QString &, const QStringList &) { return true; });
    NutCmdExec::setApplicationFolder(options.appDir);

    auto settings = std::make_shared<AmperlaneSettings>(options.appDir);
    settings->setValue(QStringLiteral("connectModeParam"), QStringLiteral("mode"), options.mode);
    if (options.mode != QLatin1String("local"))
        settings->setValue(QStringLiteral("connectModeParam"), QStringLiteral("nutPort"),
                           QStringLiteral("1"));

    auto service = std::make_shared<AmperlaneJrpcService>(
        settings, [](bool) {}, nullptr, options.appDir,
        [](const QString &, const QStringList &, const CommandDone &done) {
            done({true, {}});
        });
    auto *server = new TQJrpc::TQJrpcServerWebsocket(nullptr, {}, 0);
    server->setServices({service.get()}, QStringLiteral("."));
    const quint16 port = listenInOwnThread(server);
    if (port == 0) {
        std::fprintf(stderr, "bench_jrpc_host: cannot listen\n");
        return 1;
    }
    std::printf("port %u\n", port);
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app, &input] {
        char byte;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            app.quit();
        }
    });
    const int status = app.exec();
    service.reset();
    // The server's thread lives until the process ends, as in the program.
    return status;
}
