#pragma once

#include <QByteArray>

#include <functional>

// A run of bytes the scanner skipped: offsets of its first and last byte in the scanned buffer.
// `damagedFrame` tells a run that starts with an intact header (whose frame failed its check or
// was too long) from plain noise.
struct FrameJunk
{
    int first = 0;
    int last = 0;
    QByteArray bytes;
    bool damagedFrame = false;
};

struct FrameScanHandlers
{
    // Receives each valid frame; returns false to end the pass at once. Unset: frames are
    // consumed silently.
    std::function<bool(const QByteArray &frame)> onFrame;
    std::function<void(const FrameJunk &junk)> onJunk;
    // Polled before every header byte and every run of noise; a set flag ends the pass.
    std::function<bool()> stopRequested;
};

// Cuts one buffer into frames. Returns the offset where the pass ended; the bytes from there on
// are the unconsumed tail (an incomplete frame, or bytes too close to the end to judge).
// A junk run still open at the end of the pass is dropped without a report.
int scanFrames(const QByteArray &buffer, const FrameScanHandlers &handlers);

// The tail to carry into the next pass: at most the last 65,536 bytes from `consumed` on.
constexpr int kFrameLeftoverCapacity = 65536;
QByteArray frameScanTail(const QByteArray &buffer, int consumed);
