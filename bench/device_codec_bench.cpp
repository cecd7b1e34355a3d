// Throughput of the serial frame scanner and of the two CRCs it relies on, over in-memory buffers
// shaped like what the station sends.

#include "crc.h"
#include "framescanner.h"
#include "tqcommoncmd.h"
#include "tqframe.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

#include <atomic>
#include <random>

namespace {

constexpr int kBufferBytes = 64 * 1024;
// Payload sizes of the station's replies: acknowledgements, single attributes, attribute blocks.
constexpr int kPayloadSizes[] = {4, 24, 96, 180};

QByteArray makeFrame(uint8_t checkType, uint8_t version, int payloadSize, std::mt19937 &random)
{
    QByteArray payload(payloadSize, Qt::Uninitialized);
    for (char &byte : payload)
        byte = static_cast<char>(random());
    const uint8_t flags = TQFrame::kFlagSent | TQFrame::kFlagReply | uint8_t(checkType << 2);
    TQCommonCmd cmd(0x02, 0x11, 0x01, 0x20, 0, 0, version, payload, flags, 0, 0xFF, 0xFF);
    return cmd.getRawData();
}

// Back-to-back valid frames of one check type, short and long headers alternating.
QByteArray validFrames(uint8_t checkType)
{
    std::mt19937 random(7);
    QByteArray buffer;
    for (int i = 0; buffer.size() < kBufferBytes; ++i) {
        const uint8_t version = (i % 2) ? 3 : 2;
        buffer += makeFrame(checkType, version, kPayloadSizes[i % 4], random);
    }
    return buffer;
}

QByteArray junk(int size, std::mt19937 &random)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Mostly CRC-16 frames, some CRC-8 and sum frames, line noise between some of them and now and
// then a frame with a damaged check value.
QByteArray realisticMix()
{
    std::mt19937 random(11);
    QByteArray buffer;
    const uint8_t checkTypes[] = {TQFrame::CheckCrc16, TQFrame::CheckCrc16, TQFrame::CheckCrc16,
                                  TQFrame::CheckCrc8, TQFrame::CheckSum};
    for (int i = 0; buffer.size() < kBufferBytes; ++i) {
        QByteArray frame =
            makeFrame(checkTypes[i % 5], (i % 3) ? 3 : 2, kPayloadSizes[random() % 4], random);
        if (i % 17 == 0)
            frame[frame.size() - 1] = static_cast<char>(frame.at(frame.size() - 1) ^ 0x5A);
        buffer += frame;
        if (i % 4 == 0)
            buffer += junk(static_cast<int>(random() % 40), random);
    }
    return buffer;
}

// The handlers the detector thread installs: a stop flag polled as it scans, junk reports and
// frames handed on.
struct DetectorLikeHandlers
{
    std::atomic<bool> stop{false};
    int64_t frames = 0;
    int64_t junkRuns = 0;
    FrameScanHandlers handlers;

    explicit DetectorLikeHandlers(bool decode)
    {
        handlers.stopRequested = [this] { return stop.load(); };
        handlers.onJunk = [this](const FrameJunk &) { ++junkRuns; };
        handlers.onFrame = [this, decode](const QByteArray &frame) {
            if (decode)
                benchmark::DoNotOptimize(TQCommonCmd(frame));
            ++frames;
            return true;
        };
    }
};

void scan(benchmark::State &state, const QByteArray &buffer, bool decode)
{
    DetectorLikeHandlers detector(decode);
    for (auto _ : state)
        benchmark::DoNotOptimize(scanFrames(buffer, detector.handlers));
    state.SetBytesProcessed(state.iterations() * buffer.size());
    state.counters["frames_per_pass"] = double(detector.frames) / double(state.iterations());
}

void BM_ScanValidFrames(benchmark::State &state)
{
    scan(state, validFrames(static_cast<uint8_t>(state.range(0))), false);
}
BENCHMARK(BM_ScanValidFrames)
    ->ArgName("checkType")
    ->Arg(TQFrame::CheckNone)
    ->Arg(TQFrame::CheckSum)
    ->Arg(TQFrame::CheckCrc8)
    ->Arg(TQFrame::CheckCrc16);

// What the detector thread does per frame: scan, then decode each frame into a command.
void BM_ScanAndDecodeCrc16Frames(benchmark::State &state)
{
    scan(state, validFrames(TQFrame::CheckCrc16), true);
}
BENCHMARK(BM_ScanAndDecodeCrc16Frames);

void BM_ScanJunk(benchmark::State &state)
{
    std::mt19937 random(3);
    scan(state, junk(kBufferBytes, random), false);
}
BENCHMARK(BM_ScanJunk);

void BM_ScanRealisticMix(benchmark::State &state)
{
    scan(state, realisticMix(), false);
}
BENCHMARK(BM_ScanRealisticMix);

// The bare CRCs over the very bytes of the CRC-16 frame buffer.
void BM_Crc16(benchmark::State &state)
{
    const QByteArray buffer = validFrames(TQFrame::CheckCrc16);
    const auto *bytes = reinterpret_cast<const uint8_t *>(buffer.constData());
    for (auto _ : state)
        benchmark::DoNotOptimize(crc16(bytes, static_cast<size_t>(buffer.size())));
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(BM_Crc16);

void BM_Crc8(benchmark::State &state)
{
    const QByteArray buffer = validFrames(TQFrame::CheckCrc16);
    const auto *bytes = reinterpret_cast<const uint8_t *>(buffer.constData());
    for (auto _ : state)
        benchmark::DoNotOptimize(crc8(bytes, static_cast<size_t>(buffer.size())));
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(BM_Crc8);

} // namespace

BENCHMARK_MAIN();
