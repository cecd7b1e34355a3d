#include "statusenvelope.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

struct AnswerCase
{
    const char *name;
    bool requestOk;
    int status;
    QByteArray body;
    QString message;
    QByteArray expectedBytes;
    QString expectedError;
};

class DownloadAnswer : public testing::TestWithParam<AnswerCase>
{
};

TEST_P(DownloadAnswer, YieldsPackageOrErrorText)
{
    const AnswerCase &c = GetParam();
    QString error;
    EXPECT_EQ(readDownloadAnswer(c.requestOk, c.body, c.status, c.message, error), c.expectedBytes);
    EXPECT_EQ(error, c.expectedError);
}

const QByteArray okEnvelope = R"({"code":"200","message":"ok","data":{}})";

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadAnswer,
    testing::Values(
        AnswerCase{"package", true, 200, "PK\x03\x04zip", "", "PK\x03\x04zip", ""},
        AnswerCase{"emptyBody", true, 200, "", "", "", ""},
        AnswerCase{"jsonArrayIsAPackage", true, 200, "[1,2]", "", "[1,2]", ""},
        AnswerCase{"successEnvelope", true, 200, okEnvelope, "", "", ""},
        AnswerCase{"numericCodeKeepsHttpStatus", true, 200,
                   R"({"code":200,"message":"ok","data":{}})", "", "", ""},
        AnswerCase{"zeroCodeKeepsHttpStatus", true, 200, R"({"code":"0","data":1})", "", "", ""},
        AnswerCase{"envelopeOn404", false, 404, R"({"code":200,"message":"ok","data":{}})",
                   "Not Found", "", "[404]ok"},
        AnswerCase{"envelopeCodeWins", false, 404, R"({"code":"503","data":{}})", "Not Found", "",
                   "[503]Not Found"},
        AnswerCase{"errorEnvelope", true, 200, R"({"code":"500","message":"bad","data":{}})", "",
                   "", "[500]bad"},
        AnswerCase{"envelopeWithoutData", true, 200, R"({"code":"200","message":"x"})", "", "",
                   "[200]x"},
        AnswerCase{"emptyObject", true, 200, "{}", "", "", "[200]"},
        AnswerCase{"httpErrorPlainBody", false, 404, "<html>gone</html>", "Not Found", "",
                   "[404]Not Found"},
        AnswerCase{"timeout", false, 0, "", "Error:Network timeout", "",
                   "[0]Error:Network timeout"}),
    [](const testing::TestParamInfo<AnswerCase> &info) { return std::string(info.param.name); });

TEST(StatusEnvelope, HandsOutTheDataMember)
{
    QJsonValue value;
    int status = 200;
    QString message;
    EXPECT_TRUE(parseStatusEnvelope(R"({"code":"200","message":"fine","data":[7]})", value, status,
                                    message));
    EXPECT_EQ(value.toArray().at(0).toInt(), 7);
    EXPECT_EQ(message, "fine");
}

} // namespace
