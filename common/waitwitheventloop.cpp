#include "waitwitheventloop.h"

#include <QEventLoop>
#include <QTimer>

void waitWithEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
