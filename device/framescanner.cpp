#include "framescanner.h"

#include "tqframe.h"

#include <algorithm>
#include <cstring>

namespace {

class Scanner
{
public:
    Scanner(const QByteArray &buffer, const FrameScanHandlers &handlers)
        : buffer(buffer), b(reinterpret_cast<const uint8_t *>(buffer.constData())),
          length(buffer.size()), handlers(handlers)
    {
    }

    int run();

private:
    enum class Step { Next, Skip, EndPass };

    bool stopRequested() const { return handlers.stopRequested && handlers.stopRequested(); }
    Step atHeaderByte();
    void reportJunk();
    void skipByte();
    void skipToHeaderByte();

    const QByteArray &buffer;
    const uint8_t *b;
    const int length;
    const FrameScanHandlers &handlers;
    int p = 0;
    int scanLimit = 0;
    int junkStart = 0;
    QByteArray junk;
};

int Scanner::run()
{
    scanLimit = length - 1;
    while (p <= scanLimit && !stopRequested()) {
        if (b[p] != TQFrame::kHeader) {
            skipToHeaderByte();
            continue;
        }
        if (!junk.isEmpty())
            reportJunk();
        if (atHeaderByte() == Step::EndPass)
            break;
    }
    return p;
}

Scanner::Step Scanner::atHeaderByte()
{
    const int remaining = length - p;
    if (remaining < 2)
        return Step::EndPass;
    const int h = TQFrame::headerLength(b[p + 1]);
    if (h != 0 && remaining < h)
        return Step::EndPass;
    if (h == 0 || !TQFrame::isHeaderValid(b + p)) {
        skipByte();
        return Step::Skip;
    }
    const int minimum = h + TQFrame::kCheckLength;
    scanLimit = length - minimum;
    if (p > scanLimit)
        return Step::EndPass;
    const int f = TQFrame::readLe16(b + p + 2) + minimum;
    if (f > remaining)
        return Step::EndPass;
    if (f > TQFrame::kMaxFrameLength || !TQFrame::isCheckValid(b + p, static_cast<size_t>(f))) {
        skipByte();
        return Step::Skip;
    }
    if (handlers.onFrame && !handlers.onFrame(buffer.mid(p, f)))
        return Step::EndPass;
    p += f;
    junkStart = p;
    return Step::Next;
}

void Scanner::skipByte()
{
    junk.append(static_cast<char>(b[p]));
    ++p;
}

// Noise is taken a run at a time: byte-by-byte appends would make a noisy line cost several times
// the scan of valid frames.
void Scanner::skipToHeaderByte()
{
    const auto *from = b + p;
    const auto *end = b + scanLimit + 1;
    const auto *header = static_cast<const uint8_t *>(
        std::memchr(from, TQFrame::kHeader, static_cast<size_t>(end - from)));
    const int run = static_cast<int>((header ? header : end) - from);
    junk.append(reinterpret_cast<const char *>(from), run);
    p += run;
}

void Scanner::reportJunk()
{
    const auto *j = reinterpret_cast<const uint8_t *>(junk.constData());
    FrameJunk report;
    report.first = junkStart;
    report.damagedFrame = junk.size() >= 5 && TQFrame::isHeaderValid(j);
    if (report.damagedFrame) {
        const int claimed =
            TQFrame::readLe16(j + 2) + TQFrame::headerLength(j[1]) + TQFrame::kCheckLength;
        report.bytes = buffer.mid(junkStart, std::min(claimed, length - junkStart));
    } else {
        report.bytes = junk;
    }
    report.last = junkStart + static_cast<int>(report.bytes.size()) - 1;
    if (handlers.onJunk)
        handlers.onJunk(report);
    junkStart += static_cast<int>(junk.size());
    junk.clear();
}

} // namespace

int scanFrames(const QByteArray &buffer, const FrameScanHandlers &handlers)
{
    return Scanner(buffer, handlers).run();
}

QByteArray frameScanTail(const QByteArray &buffer, int consumed)
{
    const int kept = std::min(static_cast<int>(buffer.size()) - consumed, kFrameLeftoverCapacity);
    if (kept <= 0)
        return {};
    return buffer.right(kept);
}
