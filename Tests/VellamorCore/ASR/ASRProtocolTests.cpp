#include "EngineTestPrinters.h"
#include "Networking/WSClientStart.h"
#include "Networking/WSClientStop.h"
#include "Networking/WSServerEvent.h"

#include <gtest/gtest.h>

namespace vellamor {
namespace {

using Data = QMap<QString, QString>;

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct DecodeCase {
    const char* frame;
    std::optional<ASRStreamEvent> expected;
};

void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.frame;
}

class ServerFrameDecoding : public ::testing::TestWithParam<DecodeCase> {};

// The stream event a text frame from the service gives, or none when the
// frame is not an event.
TEST_P(ServerFrameDecoding, GivesTheStreamEventOfTheFrame)
{
    const DecodeCase& c = GetParam();
    EXPECT_EQ(WSServerEvent::decode(s(c.frame)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextFrames, ServerFrameDecoding,
    ::testing::Values(
        DecodeCase{R"({"type":"ready"})", ASRStreamEvent::ready()},
        DecodeCase{R"({"type":"done","data":{"text":"x"}})", ASRStreamEvent::done()},
        DecodeCase{R"({"type":"partial","text":"ni"})", ASRStreamEvent::partial(s("ni"))},
        DecodeCase{R"({"type":"final","data":{"text":"hello world"}})", ASRStreamEvent::final(s("hello world"))},
        DecodeCase{R"({"type":"final","text":"hello world"})", ASRStreamEvent::final(s("hello world"))},
        DecodeCase{R"({"type":"polish","data":{"text":"你好，世界。"}})", ASRStreamEvent::polish(s("你好，世界。"))},
        // The payload is the data object when there is one, even without a text.
        DecodeCase{R"({"type":"final","text":"a","data":{"x":1}})", ASRStreamEvent::final(QString())},
        // A data entry that is not an object is ignored.
        DecodeCase{R"({"type":"partial","data":"x","text":"a"})", ASRStreamEvent::partial(s("a"))},
        DecodeCase{R"({"type":"partial","data":null,"text":"a"})", ASRStreamEvent::partial(s("a"))},
        // A missing or non-string text reads as empty.
        DecodeCase{R"({"type":"partial"})", ASRStreamEvent::partial(QString())},
        DecodeCase{R"({"type":"final","text":42})", ASRStreamEvent::final(QString())},
        DecodeCase{R"({"type":"final","text":" "})", ASRStreamEvent::final(s(" "))},
        // Errors: the code must be an exact integer, only strings go into data.
        DecodeCase{R"({"type":"error","data":{"code":42902,"msg":"x","kind":"points_balance","n":3}})",
                   ASRStreamEvent::error(42902, s("x"), Data{{s("kind"), s("points_balance")}})},
        DecodeCase{R"({"type":"error"})", ASRStreamEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":"500"})", ASRStreamEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":50.5})", ASRStreamEvent::error(-1, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","code":50021.0})", ASRStreamEvent::error(50021, QString(), std::nullopt)},
        DecodeCase{R"({"type":"error","message":"m"})", ASRStreamEvent::error(-1, s("m"), std::nullopt)},
        DecodeCase{R"({"type":"error","msg":"first","message":"second"})",
                   ASRStreamEvent::error(-1, s("first"), std::nullopt)},
        DecodeCase{R"({"type":"error","msg":5,"message":"fallback"})",
                   ASRStreamEvent::error(-1, s("fallback"), std::nullopt)},
        // At the top level "type" is reserved and non-strings are dropped.
        DecodeCase{R"({"type":"error","code":50021,"msg":"x","trace":"t1","retry":true,"extra":{"a":"b"},"list":["c"]})",
                   ASRStreamEvent::error(50021, s("x"), Data{{s("trace"), s("t1")}})},
        // A "type" inside the data payload is reserved too.
        DecodeCase{R"({"type":"error","data":{"type":"quota","code":1}})",
                   ASRStreamEvent::error(1, QString(), std::nullopt)},
        // Not an event frame.
        DecodeCase{R"({"type":"Partial","text":"a"})", std::nullopt},
        DecodeCase{R"({"kind":"partial"})", std::nullopt},
        DecodeCase{R"({"type":7})", std::nullopt},
        DecodeCase{R"({"data":{"type":"done"}})", std::nullopt},
        DecodeCase{R"({"type":"mystery"})", std::nullopt},
        DecodeCase{R"([1,2])", std::nullopt},
        DecodeCase{"done", std::nullopt},
        DecodeCase{"", std::nullopt},
        DecodeCase{R"({"type":"done")", std::nullopt}));

// Compact JSON with exactly the frame's fields; a chosen model is named even
// when its name is empty, and non-ASCII text stays as it is.
TEST(ClientFrames, EncodeToTheirExactText)
{
    const struct {
        WSClientStart start;
        const char* text;
    } cases[] = {
        {WSClientStart(s("auto"), s("general"), s("original"), true, std::nullopt),
         R"({"lang":"auto","polish":true,"scene":"general","style":"original","type":"start"})"},
        {WSClientStart(s("zh"), s("chat"), s("formal"), false, s("qwen")),
         R"({"lang":"zh","llm_provider":"qwen","polish":false,"scene":"chat","style":"formal","type":"start"})"},
        {WSClientStart(s("zh"), s("chat"), s("formal"), false, QString()),
         R"({"lang":"zh","llm_provider":"","polish":false,"scene":"chat","style":"formal","type":"start"})"},
        {WSClientStart(s("中文"), s("邮件"), s("正式"), true, std::nullopt),
         R"({"lang":"中文","polish":true,"scene":"邮件","style":"正式","type":"start"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.start.encodeText(), s(c.text));
        EXPECT_EQ(c.start.encode(), QByteArray(c.text));
    }
    EXPECT_EQ(WSClientStop().encodeText(), s(R"({"type":"stop"})"));
}

} // namespace
} // namespace vellamor
