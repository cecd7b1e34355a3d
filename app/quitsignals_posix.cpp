#include "quitsignals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes one byte to this end of a socket pair; everything else happens when the
// event loop reads the other end.
int g_signalWriteFd = -1;

void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalWriteFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

void quitOnTerminationSignals(std::function<void()> quit)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
        qWarning() << "termination signals keep their default action: no socket pair";
        return;
    }
    g_signalWriteFd = fds[0];
    auto *notifier =
        new QSocketNotifier(fds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [readFd = fds[1], quit = std::move(quit)] {
                         unsigned char signal = 0;
                         bool received = false;
                         while (::read(readFd, &signal, 1) == 1)
                             received = true;
                         if (!received)
                             return;
                         qDebug() << "signal" << int(signal) << "received: quitting";
                         quit();
                     });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
