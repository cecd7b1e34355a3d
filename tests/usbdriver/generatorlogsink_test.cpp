#include "generatorlogsink.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace {
QStringList captured;
void capture(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        captured << message;
}
} // namespace

TEST(GeneratorLogSink, WritesOneDebugLinePerMessage)
{
    captured.clear();
    const auto previous = qInstallMessageHandler(capture);
    generatorLogSink("generate Power Station (Interface 1) Driver...");
    generatorLogSink("dossier \xC3\xA9"
                     "crit");
    qInstallMessageHandler(previous);
    EXPECT_EQ(captured,
              (QStringList{"driver_installer log: generate Power Station (Interface 1) Driver...",
                           QString::fromUtf8("driver_installer log: dossier \xC3\xA9"
                                             "crit")}));
}
