// The output of the NUT client, and everything the monitor derives from a variable set.

#include "fuzzsupport.h"
#include "upsvariables.h"

#include <cstdint>

FUZZ_QUIET_QT_MESSAGES

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray output(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QJsonObject variables = parseUpsVariables(output);
    for (auto it = variables.constBegin(); it != variables.constEnd(); ++it) {
        FUZZ_CHECK(!it.key().contains(QLatin1Char('\n')));
        const QString value = it.value().toString();
        batteryTimeFromRuntime(value);
        statusOnBattery(value);
        statusOnline(value);
        statusCharging(value);
    }
    upsDeviceInfo(variables);
    return 0;
}
