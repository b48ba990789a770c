#include "EngineTestPrinters.h"
#include "Models/VellamorTransportError.h"
#include "Networking/WSClientStart.h"
#include "Networking/WSClientStop.h"
#include "Networking/WSServerEvent.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace vellamor {

inline void PrintTo(const WSServerEvent& event, std::ostream* os)
{
    *os << event.debugDescription().toStdString();
}

namespace {

using Data = QMap<QString, QString>;

struct DecodeCase {
    const char* frame;
    std::optional<WSServerEvent> expected;
};

void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.frame;
}

class ServerEventDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ServerEventDecoding, GivesTheEventOfTheFrame)
{
    const DecodeCase& c = GetParam();
    EXPECT_EQ(WSServerEvent::decode(QString::fromUtf8(c.frame)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextFrames, ServerEventDecoding,
    ::testing::Values(
        DecodeCase{R"({"type":"ready"})", WSServerEvent::ready()},
        DecodeCase{R"({"type":"done","data":{"text":"x"}})", WSServerEvent::done()},
        DecodeCase{R"({"type":"partial","text":"ni"})", WSServerEvent::partial(QStringLiteral("ni"))},
        DecodeCase{R"({"type":"final","data":{"text":"hello world"}})",
                   WSServerEvent::final(QStringLiteral("hello world"))},
        DecodeCase{R"({"type":"final","text":"hello world"})", WSServerEvent::final(QStringLiteral("hello world"))},
        DecodeCase{R"({"type":"polish","data":{"text":"你好，世界。"}})",
                   WSServerEvent::polish(QStringLiteral("你好，世界。"))},
        // The payload is the data object when there is one, even without a text.
        DecodeCase{R"({"type":"final","text":"a","data":{"x":1}})", WSServerEvent::final(QString())},
        // A data entry that is not an object is ignored.
        DecodeCase{R"({"type":"partial","data":"x","text":"a"})", WSServerEvent::partial(QStringLiteral("a"))},
        DecodeCase{R"({"type":"partial","data":null,"text":"a"})", WSServerEvent::partial(QStringLiteral("a"))},
        DecodeCase{R"({"type":"partial","data":[1],"text":"a"})", WSServerEvent::partial(QStringLiteral("a"))},
        // A missing or non-string text reads as empty.
        DecodeCase{R"({"type":"partial"})", WSServerEvent::partial(QString())},
        DecodeCase{R"({"type":"final","text":42})", WSServerEvent::final(QString())},
        DecodeCase{R"({"type":"polish","text":null})", WSServerEvent::polish(QString())},
        DecodeCase{R"({"type":"final","text":" "})", WSServerEvent::final(QStringLiteral(" "))},
        // Errors: the code must be an integral number, only strings go into data.
        DecodeCase{R"({"type":"error","data":{"code":42902,"msg":"x","kind":"points_balance","n":3}})",
                   WSServerEvent::error(42902, QStringLiteral("x"), Data{{QStringLiteral("kind"),
                                                                           QStringLiteral("points_balance")}})},
        DecodeCase{R"({"type":"error"})", WSServerEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":"500"})", WSServerEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":50.5})", WSServerEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":true})", WSServerEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":1e300})", WSServerEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":50021.0})", WSServerEvent::error(50021, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":-7})", WSServerEvent::error(-7, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","message":"m"})", WSServerEvent::error(-1, QStringLiteral("m"), std::nullopt)},
        DecodeCase{R"({"type":"error","msg":"first","message":"second"})",
                   WSServerEvent::error(-1, QStringLiteral("first"), std::nullopt)},
        DecodeCase{R"({"type":"error","msg":5,"message":"fallback"})",
                   WSServerEvent::error(-1, QStringLiteral("fallback"), std::nullopt)},
        // At the top level "type" is reserved and non-strings are dropped.
        DecodeCase{R"({"type":"error","code":50021,"msg":"x","trace":"t1","retry":true,"extra":{"a":"b"},"list":["c"]})",
                   WSServerEvent::error(50021, QStringLiteral("x"), Data{{QStringLiteral("trace"), QStringLiteral("t1")}})},
        // A "type" inside the data payload is reserved too.
        DecodeCase{R"({"type":"error","data":{"type":"quota","code":1}})", WSServerEvent::error(1, QString(), std::nullopt)},
        // Not an event frame.
        DecodeCase{R"({"type":"Partial","text":"a"})", std::nullopt},
        DecodeCase{R"({"type":"DONE"})", std::nullopt},
        DecodeCase{R"({"kind":"partial"})", std::nullopt},
        DecodeCase{R"({"type":7})", std::nullopt},
        DecodeCase{R"({"type":null})", std::nullopt},
        DecodeCase{R"({"data":{"type":"done"}})", std::nullopt},
        DecodeCase{R"({"type":"mystery"})", std::nullopt},
        DecodeCase{R"([1,2])", std::nullopt},
        DecodeCase{R"("done")", std::nullopt},
        DecodeCase{"done", std::nullopt},
        DecodeCase{"", std::nullopt},
        DecodeCase{R"({"type":"done")", std::nullopt}));

TEST(ServerEventMapping, EveryCaseMapsToTheStreamEventWithTheSamePayload)
{
    const Data data{{QStringLiteral("kind"), QStringLiteral("points_balance")}};
    EXPECT_EQ(WSServerEvent::partial(QStringLiteral("p")).toStreamEvent(), ASRStreamEvent::partial(QStringLiteral("p")));
    EXPECT_EQ(WSServerEvent::final(QStringLiteral("f")).toStreamEvent(), ASRStreamEvent::final(QStringLiteral("f")));
    EXPECT_EQ(WSServerEvent::polish(QStringLiteral("o")).toStreamEvent(), ASRStreamEvent::polish(QStringLiteral("o")));
    EXPECT_EQ(WSServerEvent::error(42902, QStringLiteral("m"), data).toStreamEvent(),
              ASRStreamEvent::error(42902, QStringLiteral("m"), data));
    EXPECT_EQ(WSServerEvent::error(-1, QString(), std::nullopt).toStreamEvent(),
              ASRStreamEvent::error(-1, QString(), std::nullopt));
    EXPECT_EQ(WSServerEvent::ready().toStreamEvent(), ASRStreamEvent::ready());
    EXPECT_EQ(WSServerEvent::done().toStreamEvent(), ASRStreamEvent::done());
}

QJsonObject parsed(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << bytes.toStdString();
    return document.object();
}

TEST(StartFrame, WithoutAModelHasExactlyTheFiveKeys)
{
    const WSClientStart start(QStringLiteral("auto"), QStringLiteral("general"), QStringLiteral("original"), true,
                              std::nullopt);
    const QJsonObject object = parsed(start.encode());
    EXPECT_EQ(object.keys(), (QStringList{QStringLiteral("lang"), QStringLiteral("polish"), QStringLiteral("scene"),
                                          QStringLiteral("style"), QStringLiteral("type")}));
    EXPECT_EQ(object.value(QStringLiteral("type")), QJsonValue(QStringLiteral("start")));
    EXPECT_EQ(object.value(QStringLiteral("lang")), QJsonValue(QStringLiteral("auto")));
    EXPECT_EQ(object.value(QStringLiteral("scene")), QJsonValue(QStringLiteral("general")));
    EXPECT_EQ(object.value(QStringLiteral("style")), QJsonValue(QStringLiteral("original")));
    EXPECT_EQ(object.value(QStringLiteral("polish")), QJsonValue(true));
    // A JSON boolean, not the text or number of one.
    EXPECT_TRUE(start.encode().contains("\"polish\":true"));
    EXPECT_FALSE(start.encode().contains("llm_provider"));
}

TEST(StartFrame, NamesTheModelOnlyWhenOneWasChosen)
{
    const WSClientStart withModel(QStringLiteral("zh"), QStringLiteral("chat"), QStringLiteral("formal"), false,
                                  QStringLiteral("qwen"));
    const QJsonObject object = parsed(withModel.encode());
    EXPECT_EQ(object.size(), 6);
    EXPECT_EQ(object.value(QStringLiteral("llm_provider")), QJsonValue(QStringLiteral("qwen")));
    EXPECT_EQ(object.value(QStringLiteral("polish")), QJsonValue(false));
    EXPECT_FALSE(object.contains(QStringLiteral("llmProvider")));

    // An empty name is still a chosen one: present, and never null.
    const QJsonObject empty = parsed(WSClientStart(QStringLiteral("zh"), QStringLiteral("chat"),
                                                   QStringLiteral("formal"), false, QString())
                                         .encode());
    EXPECT_EQ(empty.value(QStringLiteral("llm_provider")), QJsonValue(QString()));
}

TEST(StartFrame, TextIsTheCompactEncodingAndKeepsNonAsciiValues)
{
    const WSClientStart start(QStringLiteral("中文"), QStringLiteral("邮件"), QStringLiteral("正式"), true,
                              std::nullopt);
    const QString text = start.encodeText();
    EXPECT_EQ(text.toUtf8(), start.encode());
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    EXPECT_EQ(parsed(text.toUtf8()).value(QStringLiteral("scene")), QJsonValue(QStringLiteral("邮件")));
}

TEST(StopFrame, IsTheTypeAlone)
{
    EXPECT_EQ(WSClientStop().encodeText(), QStringLiteral(R"({"type":"stop"})"));
}

} // namespace
} // namespace vellamor
