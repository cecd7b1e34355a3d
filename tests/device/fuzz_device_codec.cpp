// libFuzzer target over the byte stream from the station: the scanner across two chunks, decoding
// and copying of every frame it finds, and the reply payload parsers. Built only with clang:
//   cmake -DCMAKE_CXX_COMPILER=clang++ ...; fuzz_device_codec -max_total_time=120 corpus/

#include "framescanner.h"
#include "tqattrvalue.h"
#include "tqcommands.h"
#include "tqcommoncmd.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), static_cast<int>(size - 1));
    const int split = stream.isEmpty() ? 0 : data[0] % stream.size();

    FrameScanHandlers handlers;
    handlers.onFrame = [](const QByteArray &frame) {
        const TQCommonCmd command(frame);
        const TQCommonCmd copy = command;
        if (copy.getRawData() != frame)
            __builtin_trap();
        parseAttrEntries(copy.getPayload());
        TQCommand::parseAttrIdList(copy.getPayload());
        TQCommand::parseAttrCmdReply(copy.getPayload());
        return true;
    };
    handlers.onJunk = [](const FrameJunk &junk) {
        if (junk.bytes.isEmpty() || junk.last != junk.first + junk.bytes.size() - 1)
            __builtin_trap();
    };
    QByteArray tail;
    for (const QByteArray &chunk : {stream.left(split), stream.mid(split)}) {
        const QByteArray buffer = tail + chunk;
        tail = frameScanTail(buffer, scanFrames(buffer, handlers));
    }
    parseAttrEntries(stream);
    TQCommonCmd(stream).encode();
    return 0;
}
