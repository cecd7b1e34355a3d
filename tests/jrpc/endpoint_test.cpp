#include "jrpctestsupport.h"
#include "tqjrpcendpoint.h"
#include "tqjrpcextractobjects.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

// Stands in for a connection: the test pushes received messages, sent bytes are kept.
class FakeSocket : public TQJrpcSocketInterface
{
public:
    QList<QByteArray> sent;

    void receive(const QByteArray &bytes) { emit dataReceived(bytes, QStringLiteral("k:1")); }

    void open(const QString &, int) override {}
    void open(const QUrl &) override {}
    bool waitForConnected(int) override { return false; }
    void close() override {}
    bool isConnected() const override { return true; }
    qint64 send(const QByteArray &bytes) override
    {
        sent << bytes;
        return bytes.size();
    }
    QString errorString() const override { return {}; }
    QHostAddress localAddress() const override { return {}; }
    quint16 localPort() const override { return 0; }
    QHostAddress peerAddress() const override { return {}; }
    quint16 peerPort() const override { return 0; }
};

struct Fixture
{
    QSharedPointer<FakeSocket> socket{new FakeSocket};
    QSharedPointer<MemoryLogger> logger{new MemoryLogger};
    TQJrpcEndpoint endpoint{socket, logger};
    QStringList objects; // compact JSON of every emitted object

    Fixture()
    {
        QObject::connect(&endpoint, &TQJrpcEndpoint::jsonObjectReceived,
                         [this](const QJsonObject &o, const QString &key) {
                             EXPECT_EQ(key, "k:1");
                             objects << QJsonDocument(o).toJson(QJsonDocument::Compact);
                         });
    }
};

struct StreamCase
{
    const char *name;
    QList<QByteArray> messages;
    QStringList objects;
    int malformed; // "Malformed request" lines
    QByteArray buffer;
};

} // namespace

TEST(Endpoint, CutsTheReceivedStreamIntoObjects)
{
    const StreamCase cases[] = {
        {"two objects in one message", {R"({"a":1}{"b":2})"}, {R"({"a":1})", R"({"b":2})"}, 0, ""},
        {"comma and blanks between objects",
         {" \n{\"a\":1} , {\"b\":2}\n"},
         {R"({"a":1})", R"({"b":2})"},
         0,
         ""},
        {"brace inside a string", {R"({"a":"}"})"}, {R"({"a":"}"})"}, 0, ""},
        {"escaped quote then brace", {R"({"a":"\"}"})"}, {R"({"a":"\"}"})"}, 0, ""},
        {"escaped backslash ends the string", {R"({"a":"\\"})"}, {R"({"a":"\\"})"}, 0, ""},
        {"object across two messages", {R"({"a":)", "1}"}, {R"({"a":1})"}, 0, ""},
        {"nested object across messages",
         {R"({"a":{"b":)", R"({}}})"},
         {R"({"a":{"b":{}}})"},
         0,
         ""},
        {"blank at a message edge inside a string is kept",
         {R"({"a":"x )", R"(y"})"},
         {R"({"a":"x y"})"},
         0,
         ""},
        {"only spaces", {"   "}, {}, 1, ""},
        {"array", {"[1,2]"}, {}, 1, ""},
        {"stray byte poisons the next message",
         {R"({"a":1}x)", R"({"b":2})"},
         {R"({"a":1})"},
         1,
         ""},
        {"stray byte stays until then", {R"({"a":1}x)"}, {R"({"a":1})"}, 0, "x"},
        {"not json is swallowed quietly", {"{not json}"}, {}, 0, ""},
        {"unfinished object waits", {R"({"a":[1,)"}, {}, 0, R"({"a":[1,)"},
        {"closing brace at depth zero blocks until balanced",
         {R"({"a":1}}{"b":2})"},
         {R"({"a":1})"},
         0,
         R"(}{"b":2})"},
        {"non-ascii text", {"{\"a\":\"\xC3\xBC}\"}"}, {"{\"a\":\"\xC3\xBC}\"}"}, 0, ""},
    };
    for (const StreamCase &c : cases) {
        Fixture f;
        for (const QByteArray &m : c.messages)
            f.socket->receive(m);
        EXPECT_EQ(f.objects, c.objects) << c.name;
        EXPECT_EQ(f.logger->lines.count("Malformed request"), c.malformed) << c.name;
        EXPECT_EQ(f.logger->lines.size(), c.malformed) << c.name;
        EXPECT_EQ(f.endpoint.buffer(), c.buffer) << c.name;
    }
}

// What the endpoint gives when every message is scanned together with everything kept before it.
struct Rescanned
{
    QStringList objects;
    int malformed = 0;
    QByteArray buffer;
};

Rescanned rescanEachMessage(const QList<QByteArray> &messages)
{
    Rescanned result;
    for (const QByteArray &message : messages) {
        const Extraction extraction = extractObjects(result.buffer + message);
        for (const QJsonObject &o : extraction.objects)
            result.objects << QJsonDocument(o).toJson(QJsonDocument::Compact);
        result.malformed += extraction.malformed ? 1 : 0;
        result.buffer = extraction.rest;
    }
    return result;
}

// The endpoint resumes its scan where the last message left it; cut anywhere into three messages,
// a stream must give what scanning it all again each time gives: strings, escapes, nesting, bytes
// between objects and unbalanced braces carried across the cuts.
TEST(Endpoint, ResumedScanFindsWhatAFullRescanFinds)
{
    const QByteArray streams[] = {
        R"({"a":"}\"{\\"} {"b":{"c":[{}]}}  {"d":1})",
        R"( {"a":1},{"b":"x\\\"y"}{"c":)",
        R"({"a":1}}{"b":{"c":2}}{"d":3})",
        "{\"a\":\"\xC3\xBC\\\\\"}\n\n{\"b\":\"{\"}x{\"c\":1}",
    };
    for (const QByteArray &stream : streams) {
        for (qsizetype first = 0; first <= stream.size(); ++first) {
            for (qsizetype second = first; second <= stream.size(); ++second) {
                const QList<QByteArray> messages{
                    stream.left(first), stream.mid(first, second - first), stream.mid(second)};
                const Rescanned expected = rescanEachMessage(messages);
                Fixture f;
                for (const QByteArray &m : messages)
                    f.socket->receive(m);
                const std::string cut = (stream + " cut at " + QByteArray::number(first) + "," +
                                         QByteArray::number(second))
                                            .toStdString();
                ASSERT_EQ(f.objects, expected.objects) << cut;
                ASSERT_EQ(f.logger->lines.count("Malformed request"), expected.malformed) << cut;
                ASSERT_EQ(f.endpoint.buffer(), expected.buffer) << cut;
            }
        }
    }
}

TEST(Endpoint, UnfinishedObjectPastOneMebibyteIsDropped)
{
    Fixture f;
    const QByteArray head = R"({"a":")";
    f.socket->receive(head + QByteArray(kMaxPendingBytes - head.size(), 'x'));
    EXPECT_EQ(f.endpoint.buffer().size(), kMaxPendingBytes); // at the limit: kept
    EXPECT_TRUE(f.logger->lines.isEmpty());

    f.socket->receive("x");
    EXPECT_TRUE(f.endpoint.buffer().isEmpty());
    EXPECT_EQ(f.logger->lines, QStringList{"Malformed request"});

    f.socket->receive(R"({"b":2})"); // the connection is usable again
    EXPECT_EQ(f.objects, QStringList{R"({"b":2})"});
}

TEST(Endpoint, LargeCompleteObjectsPass)
{
    Fixture f;
    const QByteArray big = R"({"a":")" + QByteArray(2 * kMaxPendingBytes, 'x') + R"("})";
    f.socket->receive(big);
    ASSERT_EQ(f.objects.size(), 1);
    EXPECT_TRUE(f.logger->lines.isEmpty());
}

TEST(Endpoint, SendsIndentedDocumentsAndForwardsDisconnects)
{
    Fixture f;
    f.endpoint.sendDocument(QJsonDocument(QJsonObject{{"b", 1}, {"a", true}}));
    EXPECT_EQ(f.socket->sent, QList<QByteArray>{"{\n    \"a\": true,\n    \"b\": 1\n}\n"});

    QSignalSpy gone(&f.endpoint, &TQJrpcEndpoint::socketDisconnected);
    emit f.socket->socketDisconnected("k:1");
    ASSERT_EQ(gone.count(), 1);
    EXPECT_EQ(gone.at(0).at(0).toString(), "k:1");
}
