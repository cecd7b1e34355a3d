#include "tqjrpcmessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

QJsonObject obj(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

struct SplitCase
{
    const char *qualified;
    const char *separator;
    const char *ns;
    const char *method;
};

} // namespace

TEST(MessageSplit, SplitsAtTheLastSeparatorAfterPositionZero)
{
    const SplitCase cases[] = {
        {"global.getVersion", ".", "global", "getVersion"},
        {"a.b.c", ".", "a.b", "c"},
        {"getVersion", ".", "", "getVersion"},
        {".getVersion", ".", "", ".getVersion"},
        {"ns.", ".", "ns", ""},
        {"a::b::c", "::", "a::b", "c"},
        {"aXb", "x", "", "aXb"}, // the search is case-sensitive
        {"a.b", "", "", "a.b"},  // an empty separator never splits
        {"", ".", "", ""},
    };
    for (const auto &c : cases) {
        QString ns, method;
        splitMethod(QString::fromUtf8(c.qualified), QString::fromUtf8(c.separator), &ns, &method);
        EXPECT_EQ(ns, QString::fromUtf8(c.ns)) << c.qualified << " / " << c.separator;
        EXPECT_EQ(method, QString::fromUtf8(c.method)) << c.qualified << " / " << c.separator;
    }
}

TEST(MessageParse, ReadsTheRequestTuple)
{
    const ParsedRequest r = parseRequest(
        obj(R"({"jsonrpc":"2.0","method":"global.getVersion","params":{"x":[1]},"id":"7"})"), ".",
        "127.0.0.1:5000");
    EXPECT_TRUE(r.valid);
    EXPECT_FALSE(r.methodMissing);
    EXPECT_EQ(r.requestId, "7");
    EXPECT_EQ(r.method_ns, "global");
    EXPECT_EQ(r.method, "getVersion");
    EXPECT_EQ(r.data, QJsonValue(obj(R"({"x":[1]})")));
    EXPECT_EQ(r.client_key, "127.0.0.1:5000");
}

TEST(MessageParse, RejectsEveryProtocolTagButTheString20)
{
    for (const char *json :
         {R"({"method":"a.b","id":"1"})", R"({"jsonrpc":2.0,"method":"a.b"})",
          R"({"jsonrpc":"1.0","method":"a.b"})", R"({"jsonrpc":null})", R"({"jsonrpc":"2.0 "})"})
        EXPECT_FALSE(parseRequest(obj(json), ".", "k").valid) << json;
}

TEST(MessageParse, UnusableIdsReadAsEmptyAndMissingParamsStayUndefined)
{
    for (const char *json :
         {R"({"jsonrpc":"2.0","method":"a.b","id":7})",
          R"({"jsonrpc":"2.0","method":"a.b","id":null})", R"({"jsonrpc":"2.0","method":"a.b"})"}) {
        const ParsedRequest r = parseRequest(obj(json), ".", "k");
        EXPECT_TRUE(r.valid) << json;
        EXPECT_EQ(r.requestId, "") << json;
        EXPECT_TRUE(r.data.isUndefined()) << json;
    }
}

TEST(MessageParse, EmptyOrNonStringMethodIsFlaggedButStillValid)
{
    for (const char *json : {R"({"jsonrpc":"2.0","id":"1"})", R"({"jsonrpc":"2.0","method":""})",
                             R"({"jsonrpc":"2.0","method":5})"}) {
        const ParsedRequest r = parseRequest(obj(json), ".", "k");
        EXPECT_TRUE(r.valid) << json;
        EXPECT_TRUE(r.methodMissing) << json;
        EXPECT_EQ(r.method, "") << json;
    }
}

TEST(MessageWire, ResultAlwaysWrapsTheValueInData)
{
    EXPECT_EQ(makeResponse("", QJsonObject())["result"].toObject(), obj(R"({"data":{}})"));
    EXPECT_EQ(makeResponse("", true)["result"].toObject(), obj(R"({"data":true})"));
    EXPECT_EQ(makeResponse("", QJsonArray{1, 2})["result"].toObject(), obj(R"({"data":[1,2]})"));
    EXPECT_EQ(makeResponse("", QJsonValue())["id"].toString(), "");
}

TEST(MessageWire, ErrorResponseKeepsTheServiceObjectButOwnsIdAndTag)
{
    EXPECT_EQ(makeErrResponse("9", obj(R"({"id":"other","jsonrpc":"1.0",
                                          "error":{"code":-32601,"message":"m"}})")),
              obj(R"({"id":"9","jsonrpc":"2.0","error":{"code":-32601,"message":"m"}})"));
    EXPECT_EQ(makeErrResponse("9", QJsonValue(3)), obj(R"({"id":"9","jsonrpc":"2.0"})"));
}

TEST(MessageWire, NotificationHasNoId)
{
    EXPECT_EQ(makeNotification("global.notifyUpdateState", 3),
              obj(R"({"jsonrpc":"2.0","method":"global.notifyUpdateState","params":3})"));
}
