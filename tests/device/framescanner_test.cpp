#include "crc.h"
#include "framescanner.h"
#include "tqcommoncmd.h"
#include "tqframedetector.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QByteArray frame(const QByteArray &payload, uint8_t checkType = 3, uint8_t version = 3)
{
    const auto flags = static_cast<uint8_t>(0x03 | (checkType << 2));
    return TQCommonCmd(0x66, 2, 2, 0x22, 1, 1, version, payload, flags, 0, 0xFF, 0xFF).getRawData();
}

// A header of the given length whose header CRC is right, followed by `rest`.
QByteArray headerClaiming(uint16_t dataLen, const QByteArray &rest = {})
{
    QByteArray bytes = QByteArray::fromHex("aa02");
    bytes.append(static_cast<char>(dataLen & 0xFF));
    bytes.append(static_cast<char>(dataLen >> 8));
    bytes.append(static_cast<char>(crc8(reinterpret_cast<const uint8_t *>(bytes.constData()), 4)));
    return bytes + rest;
}

// Feeds chunks the way the detector thread does: each pass scans the previous tail followed by
// the next chunk.
struct StreamResult
{
    QList<QByteArray> frames;
    QList<FrameJunk> junk;
    QByteArray tail;
};

StreamResult feed(const QList<QByteArray> &chunks)
{
    StreamResult result;
    FrameScanHandlers handlers;
    handlers.onFrame = [&](const QByteArray &f) {
        result.frames.append(f);
        return true;
    };
    handlers.onJunk = [&](const FrameJunk &j) { result.junk.append(j); };
    for (const QByteArray &chunk : chunks) {
        const QByteArray buffer = result.tail + chunk;
        result.tail = frameScanTail(buffer, scanFrames(buffer, handlers));
    }
    return result;
}

struct StreamCase
{
    const char *name;
    QByteArray stream;
    QList<QByteArray> frames;
};

QList<StreamCase> streamCases()
{
    const QByteArray a = frame("first");
    const QByteArray b = frame("second", 3, 2);
    const QByteArray c8 = frame("crc8", 2);
    const QByteArray sum = frame("sum", 1, 0x13);
    QByteArray noCheck = frame("none", 0, 0x12);
    noCheck[noCheck.size() - 2] = 0x77;
    QByteArray damaged = a;
    damaged[20] = static_cast<char>(damaged[20] ^ 0xFF);
    QByteArray badType = frame("bad", 3);
    badType[5] = static_cast<char>((badType[5] & ~0x1C) | (5 << 2));
    // A valid frame that starts inside a damaged one is still found.
    QByteArray nested = damaged.left(12) + b + damaged.mid(12);
    return {
        {"single frame", a, {a}},
        {"two frames back to back", a + b, {a, b}},
        {"junk between frames", a + QByteArray::fromHex("0102aa03") + b, {a, b}},
        {"crc8, sum and no check", c8 + sum + noCheck, {c8, sum, noCheck}},
        {"damaged frame then frame", damaged + b, {b}},
        {"check type five", badType + a, {a}},
        {"frame inside a damaged one", nested, {b}},
        {"noise before frame", QByteArray::fromHex("00aaaa1213aa") + a, {a}},
    };
}

TEST(FrameScanner, FindsEveryFrameInEveryChunking)
{
    for (const StreamCase &test : streamCases()) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(feed({test.stream}).frames, test.frames);
        for (int split = 1; split < test.stream.size(); ++split) {
            const StreamResult result = feed({test.stream.left(split), test.stream.mid(split)});
            ASSERT_EQ(result.frames, test.frames) << "split after " << split;
        }
        QList<QByteArray> single;
        for (char byte : test.stream)
            single.append(QByteArray(1, byte));
        EXPECT_EQ(feed(single).frames, test.frames) << "byte by byte";
    }
}

TEST(FrameScanner, ReportsJunkBetweenFramesOnceWithItsOffsets)
{
    const QByteArray a = frame("first");
    const QByteArray junk = QByteArray::fromHex("010203");
    const StreamResult result = feed({a + junk + frame("second")});
    ASSERT_EQ(result.junk.size(), 1);
    EXPECT_EQ(result.junk[0].first, a.size());
    EXPECT_EQ(result.junk[0].last, a.size() + 2);
    EXPECT_EQ(result.junk[0].bytes, junk);
    EXPECT_FALSE(result.junk[0].damagedFrame);
}

TEST(FrameScanner, ReportsADamagedFrameWithTheLengthItClaims)
{
    QByteArray damaged = frame("payload");
    damaged[20] = static_cast<char>(damaged[20] ^ 0xFF);
    const QByteArray good = frame("good");
    const StreamResult result = feed({damaged + good});
    ASSERT_EQ(result.frames, QList<QByteArray>{good});
    ASSERT_EQ(result.junk.size(), 1);
    EXPECT_TRUE(result.junk[0].damagedFrame);
    EXPECT_EQ(result.junk[0].first, 0);
    EXPECT_EQ(result.junk[0].last, damaged.size() - 1);
    EXPECT_EQ(result.junk[0].bytes, damaged);
}

TEST(FrameScanner, KeepsAnIncompleteFrameWithoutReport)
{
    const QByteArray ten = frame("payload", 3, 2).left(10);
    const StreamResult result = feed({ten});
    EXPECT_EQ(result.tail, ten);
    EXPECT_TRUE(result.junk.isEmpty());
    EXPECT_TRUE(result.frames.isEmpty());
}

TEST(FrameScanner, WaitsForAnOverlongFrameThenRejectsItAndRescans)
{
    const QByteArray inner = frame("inner");
    const QByteArray start = headerClaiming(0x1FFF, inner);
    const int claimed = 0x1FFF + 18;
    const QByteArray padding(claimed - start.size() - 1, '\0');

    StreamResult result;
    FrameScanHandlers handlers;
    handlers.onFrame = [&](const QByteArray &f) {
        result.frames.append(f);
        return true;
    };
    QByteArray buffer = start + padding;
    result.tail = frameScanTail(buffer, scanFrames(buffer, handlers));
    EXPECT_TRUE(result.frames.isEmpty());
    EXPECT_EQ(result.tail, buffer);

    buffer = result.tail + QByteArray(1, '\0');
    scanFrames(buffer, handlers);
    EXPECT_EQ(result.frames, QList<QByteArray>{inner});
}

TEST(FrameScanner, TailNeverExceedsTheLeftoverCapacity)
{
    const QByteArray buffer = QByteArray(70000, 'x') + headerClaiming(100);
    EXPECT_EQ(frameScanTail(buffer, 10).size(), kFrameLeftoverCapacity);
    EXPECT_EQ(frameScanTail(buffer, buffer.size()).size(), 0);
}

TEST(FrameScanner, SurvivesRandomBytesInRandomChunks)
{
    QRandomGenerator random(20261210);
    const QByteArray good = frame("good");
    for (int round = 0; round < 200; ++round) {
        QByteArray noise(static_cast<int>(random.bounded(1, 3000)), '\0');
        for (char &c : noise)
            c = static_cast<char>(random.bounded(8) == 0 ? 0xAA : random.bounded(256));
        // Short-header versions and small lengths make plausible headers frequent.
        for (int i = 0; i + 4 < noise.size(); i += static_cast<int>(random.bounded(1, 64)))
            noise.replace(i, 5, headerClaiming(static_cast<uint16_t>(random.bounded(40))).left(5));
        QList<QByteArray> chunks;
        for (int at = 0; at < noise.size();) {
            const int size = static_cast<int>(random.bounded(1, 200));
            chunks.append(noise.mid(at, size));
            at += size;
        }
        const StreamResult result = feed(chunks);
        for (const QByteArray &found : result.frames)
            EXPECT_TRUE(found.startsWith('\xAA'));
        EXPECT_LE(result.tail.size(), kFrameLeftoverCapacity);
    }
}

TEST(TQFrameDetector, DeliversFramesPushedInPiecesAndReportsJunk)
{
    QList<TQCommonCmd> received;
    QMutex mutex;
    TQFrameDetector detector(
        [&](TQCommonCmd cmd) {
            QMutexLocker locker(&mutex);
            received.append(cmd);
        },
        true);
    QSignalSpy junk(&detector, &TQFrameDetector::errorMsgStore);
    const QByteArray a = frame("one");
    const QByteArray b = frame("two");
    const QByteArray stream = a + QByteArray::fromHex("0102") + b;
    detector.pushData(stream.left(7));
    detector.pushData(stream.mid(7, 30));
    detector.pushData(stream.mid(37));
    const auto count = [&] {
        QMutexLocker locker(&mutex);
        return received.size();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return count() == 2; }, 5000));
    QMutexLocker locker(&mutex);
    EXPECT_EQ(received[0].getPayload(), "one");
    EXPECT_EQ(received[1].getPayload(), "two");
    EXPECT_TRUE(received[0].getIsSend());
    // The junk before the second frame is reported before that frame is delivered. The pass that
    // found the first frame stopped a minimal frame before its end, so the junk opens the next
    // pass and its offsets count from there.
    ASSERT_EQ(junk.size(), 1);
    EXPECT_EQ(junk.at(0).at(0).toInt(), 0);
    EXPECT_EQ(junk.at(0).at(1).toInt(), 1);
    EXPECT_EQ(junk.at(0).at(3).toString(), " Can not find the header!");
}

TEST(TQFrameDetector, NothingReachesTheCallbackAfterStop)
{
    std::atomic<int> calls{0};
    TQFrameDetector detector([&](TQCommonCmd) { ++calls; }, false);
    detector.stop();
    EXPECT_TRUE(detector.isFinished());
    detector.pushData(frame("late"));
    QTest::qWait(50);
    EXPECT_EQ(calls.load(), 0);
    detector.stop();
}

} // namespace
