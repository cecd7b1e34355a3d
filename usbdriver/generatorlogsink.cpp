#include "generatorlogsink.h"

#include <QDebug>
#include <QString>

void generatorLogSink(const char *message)
{
    qDebug().noquote() << QStringLiteral("driver_installer log: ") + QString::fromUtf8(message);
}
