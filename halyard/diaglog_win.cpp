#include "diaglog_win.h"

#include "logline.h"
#include "utf.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

namespace hy {
namespace {

void ensure_log_folder()
{
    DWORD attributes = GetFileAttributesA(LOG_FOLDER);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        printf("Log folder already exists.\n");
    } else if (CreateDirectoryA(LOG_FOLDER, nullptr)) {
        printf("Log folder created successfully.\n");
    } else {
        printf("Failed to create log folder.\n");
    }
    fflush(stdout);
}

} // namespace

void writeLog(int level, const char *operation, const char *format, ...)
{
    DWORD lastError = GetLastError();
    ensure_log_folder();
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILE *file = fopen(log_file_name(now.wYear, now.wMonth, now.wDay).c_str(), "a");
    if (file != nullptr) {
        fputs(log_line_prefix(level, static_cast<int64_t>(time(nullptr)), operation).c_str(), file);
        va_list args;
        va_start(args, format);
        vfprintf(file, format, args);
        va_end(args);
        fputc('\n', file);
        fclose(file);
    }
    // Callers format the last error after logging other lines; logging must not disturb it.
    SetLastError(lastError);
}

const char *formatWindowsError(DWORD code)
{
    static char text[256];
    if (code == 0)
        code = GetLastError();

    int prefix = snprintf(text, sizeof text, "[0x%08lX] ", code);
    wchar_t message[256];
    DWORD size = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code & 0xFFFF, 1033, message, 256, nullptr);
    std::string utf8;
    if (size > 0 &&
        utf16_to_utf8(std::u16string(reinterpret_cast<char16_t *>(message), size), utf8)) {
        while (!utf8.empty() && (utf8.back() == '\r' || utf8.back() == '\n' || utf8.back() == ' '))
            utf8.pop_back();
        snprintf(text + prefix, sizeof text - prefix, "%s", utf8.c_str());
    } else {
        DWORD formatError = GetLastError();
        if (formatError == 0 || formatError == ERROR_MR_MID_NOT_FOUND || formatError == 15105)
            snprintf(text, sizeof text, "Windows error code 0x%08lX", code);
        else
            snprintf(text, sizeof text,
                     "Windows error code 0x%08lX (FormatMessage error code 0x%08lX)", code,
                     formatError);
    }
    SetLastError(code);
    return text;
}

} // namespace hy
