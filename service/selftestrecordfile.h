#pragma once

#include "compositebussiness.h"
#include "timerecord.h"

// The station's self-test history kept as its "selfTest.data" time record.
class SelfTestRecordFile : public SelfTestRecord
{
public:
    // `appDir` is the application folder; empty means the executable's folder.
    SelfTestRecordFile(const QString &sn, const QString &appDir);

    void appendLine(const QString &text) override { record.appendLine(text); }
    QString readLastLine() const override { return record.readLastLine(); }

private:
    TimeRecord record;
};
