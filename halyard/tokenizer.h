// Template filling: "#NAME#" is replaced by the value of the token NAME from a process-wide table.
#pragma once

namespace hy {

enum token_id : int {
    TK_INF_FILENAME,
    TK_CAT_FILENAME,
    TK_DEVICE_DESCRIPTION,
    TK_DEVICE_HARDWARE_ID,
    TK_DEVICE_INTERFACE_GUID,
    TK_DEVICE_MANUFACTURER,
    TK_DRIVER_DATE,
    TK_DRIVER_VERSION,
    TK_USE_DEVICE_INTERFACE_GUID,
    TK_WDF_VERSION,
    TK_KMDF_VERSION,
    TK_LK_COMMA,
    TK_LK_DLL,
    TK_LK_X86_DLL,
    TK_LK_EQ_X86,
    TK_LK_EQ_X64,
    TK_COUNT,
};

constexpr int TOKEN_VALUE_SIZE = 1024;
constexpr int TOKENIZE_NO_INPUT = -160;
constexpr int TOKENIZE_NO_MEMORY = -8;

// Stores value (null reads as empty), cut at TOKEN_VALUE_SIZE - 1 bytes.
void set_token(token_id id, const char *value);
const char *token_value(token_id id);
const char *token_name(token_id id);

// Replaces every known "#NAME#" of src (length len; negative: up to its NUL) by its value.
// Returns the produced length and hands the NUL-terminated text to *out (free() it), or
// TOKENIZE_NO_INPUT / TOKENIZE_NO_MEMORY. An empty measured text gives 0 and no output.
int tokenize(const char *src, long len, char **out);

} // namespace hy
