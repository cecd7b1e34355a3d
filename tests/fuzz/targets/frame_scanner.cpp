// The frame scanner over a stream from the station. Frames found over the whole stream must equal
// those found when the stream arrives in two chunks with the tail carried between passes: a frame
// cut by a read boundary must never be lost or doubled.
//
// A pass may leave complete frames in its tail: after a valid header the scan limit stays lowered
// by that header's minimum length, so a short frame of 18 or 19 bytes right at the end waits for
// the next read. Both sides are therefore drained: the tail is scanned again, as the next pass
// would, until a pass consumes nothing.
//
// Random bytes almost never carry a valid header CRC and check value, so the harness mends them:
// wherever 0xAA is followed by a known version and a zero CRC byte, it shortens the data length,
// writes the header CRC and the check value. Other headers stay as the fuzzer made them (damaged
// frames, noise).

#include "crc.h"
#include "framescanner.h"
#include "fuzzsupport.h"
#include "tqframe.h"

#include <QList>

#include <cstdint>

FUZZ_QUIET_QT_MESSAGES

namespace {

QByteArray mendFrames(QByteArray stream)
{
    auto *b = reinterpret_cast<uint8_t *>(stream.data());
    const int n = static_cast<int>(stream.size());
    for (int p = 0; p + 5 < n; ++p) {
        const int h = b[p] == TQFrame::kHeader ? TQFrame::headerLength(b[p + 1]) : 0;
        if (h == 0 || b[p + 4] != 0)
            continue;
        const uint16_t dataLen = b[p + 2] % 48;
        b[p + 2] = static_cast<uint8_t>(dataLen);
        b[p + 3] = 0;
        b[p + 4] = crc8(b + p, 4);
        const int f = h + dataLen + TQFrame::kCheckLength;
        if (p + f <= n)
            TQFrame::writeCheckValue(b + p, static_cast<size_t>(f), TQFrame::checkTypeOf(b[p + 5]));
    }
    return stream;
}

QList<QByteArray> scanInChunks(const QList<QByteArray> &chunks, int size)
{
    QList<QByteArray> frames;
    FrameScanHandlers handlers;
    handlers.onFrame = [&](const QByteArray &frame) {
        frames.append(frame);
        return true;
    };
    handlers.onJunk = [&](const FrameJunk &junk) {
        FUZZ_CHECK(!junk.bytes.isEmpty());
        FUZZ_CHECK(junk.first >= 0 && junk.last >= junk.first);
        FUZZ_CHECK(junk.last - junk.first + 1 == junk.bytes.size());
    };
    QByteArray tail;
    for (const QByteArray &chunk : chunks) {
        const QByteArray buffer = tail + chunk;
        const int consumed = scanFrames(buffer, handlers);
        FUZZ_CHECK(consumed >= 0 && consumed <= buffer.size());
        tail = frameScanTail(buffer, consumed);
    }
    for (int consumed = 1; consumed > 0 && !tail.isEmpty();) {
        consumed = scanFrames(tail, handlers);
        FUZZ_CHECK(consumed >= 0 && consumed <= tail.size());
        tail = frameScanTail(tail, consumed);
    }
    int total = 0;
    for (const QByteArray &frame : frames)
        total += static_cast<int>(frame.size());
    FUZZ_CHECK(total <= size);
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray stream = mendFrames(
        QByteArray(reinterpret_cast<const char *>(data + 2), static_cast<int>(size - 2)));
    const int split = (data[0] | (data[1] << 8)) % (static_cast<int>(stream.size()) + 1);

    const QList<QByteArray> whole = scanInChunks({stream}, static_cast<int>(stream.size()));
    const QList<QByteArray> split2 =
        scanInChunks({stream.left(split), stream.mid(split)}, static_cast<int>(stream.size()));
    FUZZ_CHECK(whole == split2);
    for (const QByteArray &frame : whole) {
        FUZZ_CHECK(frame.size() <= TQFrame::kMaxFrameLength);
        FUZZ_CHECK(static_cast<uint8_t>(frame[0]) == TQFrame::kHeader);
        FUZZ_CHECK(stream.contains(frame));
    }
    return 0;
}
