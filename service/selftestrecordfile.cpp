#include "selftestrecordfile.h"

SelfTestRecordFile::SelfTestRecordFile(const QString &sn, const QString &appDir)
    : record(QStringLiteral("selfTest.data"), sn, appDir)
{
}
