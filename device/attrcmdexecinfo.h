#pragma once

#include <QElapsedTimer>
#include <QJsonValue>

#include <cstdint>
#include <functional>

// One running device command: who waits for its result, the tracking id the station gave it (0
// until the station accepts it) and how long ago the execute request went out.
struct AttrCmdExecInfo
{
    std::function<void(QJsonValue)> callback;
    uint8_t attrTrackingId = 0;
    QElapsedTimer timer;
};
