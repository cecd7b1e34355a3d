// INF template filling. The input sets a few token values first (each up to a NUL byte), the rest
// is the template. The produced length must match the text handed back.

#include "fuzzsupport.h"
#include "tokenizer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

FUZZ_QUIET_QT_MESSAGES

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    size_t at = 0;
    for (int id = 0; id < hy::TK_COUNT; ++id) {
        const void *nul = std::memchr(text + at, '\0', size - at);
        if (nul == nullptr)
            break;
        const size_t end = static_cast<size_t>(static_cast<const char *>(nul) - text);
        hy::set_token(static_cast<hy::token_id>(id), text + at);
        FUZZ_CHECK(std::strlen(hy::token_value(static_cast<hy::token_id>(id))) <
                   static_cast<size_t>(hy::TOKEN_VALUE_SIZE));
        at = end + 1;
    }
    const std::string templ(text + at, size - at);

    char *out = nullptr;
    const int produced = hy::tokenize(templ.data(), static_cast<long>(templ.size()), &out);
    if (produced > 0) {
        FUZZ_CHECK(out != nullptr && out[produced] == '\0');
    }
    std::free(out);

    out = nullptr;
    const int measured = hy::tokenize(templ.c_str(), -1, &out);
    if (measured > 0)
        FUZZ_CHECK(out != nullptr && std::strlen(out) == static_cast<size_t>(measured));
    std::free(out);

    for (int id = 0; id < hy::TK_COUNT; ++id)
        hy::set_token(static_cast<hy::token_id>(id), nullptr);
    return 0;
}
