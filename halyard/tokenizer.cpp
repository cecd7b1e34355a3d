#include "tokenizer.h"

#include <cstdlib>
#include <cstring>

namespace hy {
namespace {

struct token_entry
{
    const char *name;
    char value[TOKEN_VALUE_SIZE];
};

// Table order is the matching order.
token_entry tokens[TK_COUNT] = {
    {"INF_FILENAME", ""},
    {"CAT_FILENAME", ""},
    {"DEVICE_DESCRIPTION", ""},
    {"DEVICE_HARDWARE_ID", ""},
    {"DEVICE_INTERFACE_GUID", ""},
    {"DEVICE_MANUFACTURER", ""},
    {"DRIVER_DATE", ""},
    {"DRIVER_VERSION", ""},
    {"USE_DEVICE_INTERFACE_GUID", ""},
    {"WDF_VERSION", ""},
    {"KMDF_VERSION", ""},
    {"LK_COMMA", ""},
    {"LK_DLL", ""},
    {"LK_X86_DLL", ""},
    {"LK_EQ_X86", ""},
    {"LK_EQ_X64", ""},
};

class output_buffer
{
public:
    explicit output_buffer(size_t capacity)
        : data_(static_cast<char *>(malloc(capacity))), capacity_(capacity)
    {
    }
    ~output_buffer() { free(data_); }
    output_buffer(const output_buffer &) = delete;
    output_buffer &operator=(const output_buffer &) = delete;

    bool ok() const { return data_ != nullptr; }

    bool append(const char *text, size_t n)
    {
        if (length_ + n >= capacity_) {
            size_t capacity = length_ + n + TOKEN_VALUE_SIZE;
            char *grown = static_cast<char *>(realloc(data_, capacity));
            if (grown == nullptr)
                return false;
            data_ = grown;
            capacity_ = capacity;
        }
        memcpy(data_ + length_, text, n);
        length_ += n;
        data_[length_] = '\0';
        return true;
    }

    size_t length() const { return length_; }

    char *release()
    {
        char *d = data_;
        data_ = nullptr;
        return d;
    }

private:
    char *data_;
    size_t capacity_;
    size_t length_ = 0;
};

// Returns the index of the token whose "NAME#" starts at src[p], or -1.
int match_token(const char *src, size_t p, size_t len)
{
    for (int i = 0; i < TK_COUNT; i++) {
        size_t n = strlen(tokens[i].name);
        if (len - p >= n + 1 && memcmp(src + p, tokens[i].name, n) == 0 && src[p + n] == '#')
            return i;
    }
    return -1;
}

} // namespace

void set_token(token_id id, const char *value)
{
    char *dst = tokens[id].value;
    if (value == nullptr)
        value = "";
    strncpy(dst, value, TOKEN_VALUE_SIZE - 1);
    dst[TOKEN_VALUE_SIZE - 1] = '\0';
}

const char *token_value(token_id id)
{
    return tokens[id].value;
}

const char *token_name(token_id id)
{
    return tokens[id].name;
}

int tokenize(const char *src, long len, char **out)
{
    if (out != nullptr)
        *out = nullptr;
    if (src == nullptr || len == 0 || out == nullptr)
        return TOKENIZE_NO_INPUT;
    size_t length = len < 0 ? strlen(src) : static_cast<size_t>(len);
    if (length == 0)
        return 0;
    output_buffer buf(length + TOKEN_VALUE_SIZE);
    if (!buf.ok())
        return TOKENIZE_NO_MEMORY;
    buf.append("", 0);

    size_t p = 0;
    while (length - p > 2) {
        const char *hash = static_cast<const char *>(memchr(src + p, '#', length - p - 1));
        if (hash == nullptr)
            break;
        size_t at = static_cast<size_t>(hash - src);
        if (!buf.append(src + p, at - p))
            return TOKENIZE_NO_MEMORY;
        p = at + 1;
        int token = match_token(src, p, length);
        if (token < 0) {
            if (!buf.append("#", 1))
                return TOKENIZE_NO_MEMORY;
            continue;
        }
        const char *value = tokens[token].value;
        if (!buf.append(value, strlen(value)))
            return TOKENIZE_NO_MEMORY;
        p += strlen(tokens[token].name) + 1;
    }
    if (!buf.append(src + p, length - p))
        return TOKENIZE_NO_MEMORY;
    int produced = static_cast<int>(buf.length());
    *out = buf.release();
    return produced;
}

} // namespace hy
