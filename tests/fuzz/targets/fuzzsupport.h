// Shared by the fuzz targets: silence Qt's message output (a logged line per input would make the
// runs crawl), and fail loudly when an invariant breaks.
#pragma once

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

#define FUZZ_QUIET_QT_MESSAGES                                                                     \
    extern "C" int LLVMFuzzerInitialize(int *, char ***)                                           \
    {                                                                                              \
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});     \
        return 0;                                                                                  \
    }

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__,           \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
