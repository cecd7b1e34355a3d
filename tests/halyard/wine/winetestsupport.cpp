#include "winetestsupport.h"

#include "logline.h"
#include "resolve_win.h"
#include "utf.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace hytest {

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool file_exists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool directory_exists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void remove_tree(const std::string &path)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

std::string current_dir()
{
    char buffer[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, buffer);
    return buffer;
}

std::string executable_dir()
{
    char buffer[MAX_PATH];
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path = buffer;
    return path.substr(0, path.find_last_of('\\'));
}

std::string fresh_dir(const std::string &name)
{
    std::string path = current_dir() + "\\" + name;
    remove_tree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string log_text()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return read_file(hy::log_file_name(now.wYear, now.wMonth, now.wDay));
}

void clear_log()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    DeleteFileA(hy::log_file_name(now.wYear, now.wMonth, now.wDay).c_str());
}

std::string utf16le_to_utf8(const std::string &bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    std::string out;
    hy::utf16_to_utf8(text, out);
    return out;
}

held_mutex::held_mutex(const std::string &name)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE childInput = nullptr, output = nullptr, childOutput = nullptr;
    if (!CreatePipe(&childInput, &input_, &inherit, 0) ||
        !CreatePipe(&output, &childOutput, &inherit, 0))
        return;
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    std::string command = "\"" + executable_dir() + "\\hold_mutex.exe\" " + name;
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process_);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (started) {
        char buffer[8] = {};
        DWORD read = 0;
        held_ = ReadFile(output, buffer, 4, &read, nullptr) && read == 4 &&
                std::string(buffer, 4) == "held";
    }
    CloseHandle(output);
}

held_mutex::~held_mutex()
{
    if (input_ != nullptr)
        CloseHandle(input_);
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

namespace {
std::map<std::string, FARPROC> active_fakes;
}

function_override::function_override(std::map<std::string, FARPROC> fakes)
{
    active_fakes = std::move(fakes);
    hy::resolve_proc = resolve;
}

function_override::~function_override()
{
    hy::resolve_proc = hy::resolve_system_proc;
    active_fakes.clear();
}

FARPROC function_override::resolve(const char *library, const char *function)
{
    auto fake = active_fakes.find(function);
    if (fake != active_fakes.end())
        return fake->second;
    return hy::resolve_system_proc(library, function);
}

} // namespace hytest
