#include "testpty.h"

#include "framescanner.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

TestPty::TestPty(Answer answer) : answer(std::move(answer))
{
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || ::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0)
        return;
    slavePath = QString::fromLocal8Bit(::ptsname(masterFd));
    slaveFd = ::open(::ptsname(masterFd), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(slaveFd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slaveFd, TCSANOW, &raw);
    notifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TestPty::onReadable);
}

TestPty::~TestPty()
{
    hangUp();
}

void TestPty::write(const QByteArray &bytes)
{
    if (masterFd >= 0 && ::write(masterFd, bytes.constData(), bytes.size()) != bytes.size())
        qWarning("TestPty: short write");
}

void TestPty::hangUp()
{
    if (notifier)
        notifier->setEnabled(false);
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
    slaveFd = masterFd = -1;
}

void TestPty::onReadable()
{
    char chunk[4096];
    const ssize_t count = ::read(masterFd, chunk, sizeof chunk);
    if (count <= 0)
        return;
    const QByteArray buffer = tail + QByteArray(chunk, static_cast<int>(count));
    FrameScanHandlers handlers;
    QList<QByteArray> replies;
    handlers.onFrame = [&](const QByteArray &frame) {
        received.append(TQCommonCmd(frame));
        if (answer)
            replies += answer(received.last());
        return true;
    };
    tail = frameScanTail(buffer, scanFrames(buffer, handlers));
    for (const QByteArray &reply : replies)
        write(reply);
}
