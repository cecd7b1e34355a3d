#include "tokenizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace hy;

namespace {

std::string run(const std::string &src)
{
    char *out = nullptr;
    int n = tokenize(src.c_str(), static_cast<long>(src.size()), &out);
    EXPECT_GE(n, 0) << src;
    std::string result = out ? std::string(out, n) : std::string();
    free(out);
    return result;
}

class TokenizerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < TK_COUNT; i++)
            set_token(static_cast<token_id>(i), "");
        set_token(TK_INF_FILENAME, "a.inf");
        set_token(TK_DEVICE_HARDWARE_ID, "VID_3746&PID_0001&MI_01");
    }
};

} // namespace

TEST_F(TokenizerTest, ReplacesKnownTokensAndKeepsEverythingElse)
{
    struct
    {
        const char *src;
        const char *expected;
    } cases[] = {
        {"USB\\#DEVICE_HARDWARE_ID#", "USB\\VID_3746&PID_0001&MI_01"},
        {"#INF_FILENAME#", "a.inf"},
        {"x#INF_FILENAME##INF_FILENAME#y", "xa.infa.infy"},
        {"keep #FOO# as is", "keep #FOO# as is"},
        {"ends with #", "ends with #"},
        {"##INF_FILENAME#", "#a.inf"},
        {"#inf_filename#", "#inf_filename#"}, // names are case-sensitive
        {"#INF_FILENAME", "#INF_FILENAME"},   // no closing delimiter
        {"#LK_COMMA#", ""},                   // empty value
        {"ab", "ab"},
        {"#", "#"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(run(c.src), c.expected) << c.src;
}

TEST_F(TokenizerTest, ValuesAreNotScannedAgain)
{
    set_token(TK_DEVICE_DESCRIPTION, "#INF_FILENAME#");
    EXPECT_EQ(run("#DEVICE_DESCRIPTION#"), "#INF_FILENAME#");
}

TEST_F(TokenizerTest, OutputGrowsPastTheInitialRoomAndValuesAreCut)
{
    set_token(TK_DEVICE_DESCRIPTION, std::string(5000, 'd').c_str());
    EXPECT_EQ(strlen(token_value(TK_DEVICE_DESCRIPTION)), 1023u);

    std::string src;
    for (int i = 0; i < 50; i++)
        src += "<#DEVICE_DESCRIPTION#>";
    std::string out = run(src);
    EXPECT_EQ(out.size(), 50u * 1025u);
    EXPECT_EQ(out.substr(0, 2), "<d");
    EXPECT_EQ(out.substr(out.size() - 2), "d>");
}

TEST_F(TokenizerTest, InputLengthRules)
{
    char *out = nullptr;
    EXPECT_EQ(tokenize(nullptr, 5, &out), TOKENIZE_NO_INPUT);
    EXPECT_EQ(tokenize("abc", 0, &out), TOKENIZE_NO_INPUT);
    EXPECT_EQ(tokenize("", -1, &out), 0);
    EXPECT_EQ(out, nullptr);

    ASSERT_EQ(tokenize("#INF_FILENAME#tail", -1, &out), 9);
    EXPECT_STREQ(out, "a.inftail");
    free(out);

    // An explicit length stops before the NUL.
    ASSERT_EQ(tokenize("#INF_FILENAME#tail", 14, &out), 5);
    EXPECT_STREQ(out, "a.inf");
    free(out);
}
