// The attribute records of a station reply. Whatever the walk accepts must survive a round trip:
// writing the records back out and reading them again gives the same map.

#include "fuzzsupport.h"
#include "tqattrvalue.h"

#include <cstdint>

FUZZ_QUIET_QT_MESSAGES

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray payload(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const AttrParaMap map = parseAttrEntries(payload);

    QByteArray written(1, '\x01');
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        FUZZ_CHECK(it.value().size() < 0x80);
        written.append(static_cast<char>(it.key() & 0xFF));
        written.append(static_cast<char>(it.key() >> 8));
        written.append(static_cast<char>(it.value().size()));
        written.append(it.value());
        if (const auto number = attrInt32(it.value()))
            FUZZ_CHECK(encodeAttrInt32(*number) == it.value().left(4));
        attrFloat(it.value());
    }
    if (!map.isEmpty())
        FUZZ_CHECK(parseAttrEntries(written) == map);
    return 0;
}
