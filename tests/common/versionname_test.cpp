#include "versionname.h"

#include <gtest/gtest.h>

TEST(VersionName, OnlyNamesOfOnePlainFolderPass)
{
    for (const char *good :
         {"1.0.0.14", "2.0", "v2_beta-1", "A", ".hidden", "1..2", "console", "com10", "nul_1"})
        EXPECT_TRUE(isPlainVersionName(good)) << good;
    for (const char *bad : {"",     ".",    "..",   "...", "2.0.",  "../1.0", "1.0/..",
                            "/tmp", "1.0 ", "a\\b", "c:",  "1.0\n", "v\n1",   "dé",
                            "1:0",  "~",    "CON",  "nul", "Com1",  "LPT9",   "aux.1.0"})
        EXPECT_FALSE(isPlainVersionName(bad)) << bad;
}
