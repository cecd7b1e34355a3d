#include "stationpty.h"

#include "framescanner.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

StationPty::StationPty(StationResponder &responder, std::function<double()> elapsed,
                       QObject *parent)
    : QObject(parent), responder(responder), elapsed(std::move(elapsed))
{
}

StationPty::~StationPty()
{
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
}

bool StationPty::open(QString *error)
{
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || ::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno));
        return false;
    }
    const char *name = ::ptsname(masterFd);
    slaveFd = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (slaveFd < 0) {
        *error = QStringLiteral("cannot open the pseudo-terminal's slave: %1").arg(strerror(errno));
        return false;
    }
    slaveName = QString::fromLocal8Bit(name);
    // A raw line: no echo, no line editing, no newline translation, whoever opens it later.
    termios raw{};
    ::tcgetattr(slaveFd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slaveFd, TCSANOW, &raw);

    notifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StationPty::onReadable);
    return true;
}

void StationPty::onReadable()
{
    char chunk[4096];
    const ssize_t count = ::read(masterFd, chunk, sizeof chunk);
    if (count <= 0)
        return;
    const QByteArray buffer = tail + QByteArray(chunk, static_cast<int>(count));
    QList<QByteArray> replies;
    FrameScanHandlers handlers;
    handlers.onFrame = [&](const QByteArray &frame) {
        replies += responder.respond(TQCommonCmd(frame), elapsed());
        return true;
    };
    tail = frameScanTail(buffer, scanFrames(buffer, handlers));
    for (const QByteArray &reply : replies) {
        for (qsizetype written = 0; written < reply.size();) {
            const ssize_t n = ::write(masterFd, reply.constData() + written,
                                      static_cast<size_t>(reply.size() - written));
            // A full line buffer (nobody reading) drops the reply, as the station would.
            if (n < 0 && errno != EINTR)
                break;
            if (n > 0)
                written += n;
        }
    }
}
