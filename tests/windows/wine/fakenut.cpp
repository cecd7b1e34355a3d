// Stands in for a NUT program (upsd.exe, upsdrvctl.exe) in the tests of the NUT scripts: writes
// what it was started with, and the configuration it would read, to "<its own path>.record".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string record = std::string(self) + ".record";
    FILE *out = std::fopen((record + ".new").c_str(), "wb");
    if (out == nullptr)
        return 1;
    for (int i = 1; i < argc; i++)
        std::fprintf(out, "arg=%s\n", argv[i]);
    const char *confPath = std::getenv("NUT_CONFPATH");
    std::fprintf(out, "NUT_CONFPATH=%s\n", confPath ? confPath : "");
    for (const char *name : {"ups.conf", "upsd.conf", "upsd.users"}) {
        std::string path = std::string(confPath ? confPath : ".") + "\\" + name;
        FILE *conf = std::fopen(path.c_str(), "rb");
        if (conf == nullptr)
            continue;
        std::fprintf(out, "--- %s\n", name);
        char line[512];
        while (std::fgets(line, sizeof line, conf))
            std::fputs(line, out);
        std::fclose(conf);
    }
    std::fclose(out);
    // Whole, or not at all, for the test that waits for it.
    return MoveFileExA((record + ".new").c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0
                                                                                             : 1;
}
