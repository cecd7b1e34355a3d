// Helpers of the tests that run under Wine.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace hytest {

std::string read_file(const std::string &path);
bool file_exists(const std::string &path);
bool directory_exists(const std::string &path);
void remove_tree(const std::string &path);
std::string current_dir();
std::string executable_dir();
// A new empty folder below the current directory; returns its absolute path.
std::string fresh_dir(const std::string &name);

// Today's diagnostic log below the current directory.
std::string log_text();
void clear_log();

// The BOM-less UTF-16LE bytes as UTF-8.
std::string utf16le_to_utf8(const std::string &bytes);

// A second process that owns a named mutex while this object lives.
class held_mutex
{
public:
    explicit held_mutex(const std::string &name);
    ~held_mutex();
    bool held() const { return held_; }

private:
    PROCESS_INFORMATION process_ = {};
    HANDLE input_ = nullptr;
    bool held_ = false;
};

// Replaces system functions by name (any library) while this object lives.
class function_override
{
public:
    explicit function_override(std::map<std::string, FARPROC> fakes);
    ~function_override();

private:
    static FARPROC resolve(const char *library, const char *function);
};

template <typename F> FARPROC as_proc(F f)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void *>(f));
}

} // namespace hytest
