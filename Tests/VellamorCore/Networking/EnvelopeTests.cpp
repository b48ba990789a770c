#include "Networking/APIRequestEnvelope.h"
#include "Networking/APIResponseEnvelope.h"
#include "Networking/AnyEncodable.h"
#include "Networking/CodeOnlyEnvelope.h"
#include "Networking/EmptyData.h"
#include "Networking/JsonCoding.h"
#include "Networking/JsonEncodingError.h"
#include "Support/Json/JsonError.h"

#include "QtPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vellamor;

namespace {

// A reply record with one required string field, to tell a decodable "data"
// from one that is not.
struct NamedThing {
    QString name;
    static NamedThing fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return NamedThing{reader.requireString(u"name")};
    }
};

QJsonObject parseObject(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

struct ResponseCase {
    const char* name;
    const char* body;
    bool decodes;
    std::optional<JsonError::Kind> errorKind; // when it does not decode
    bool hasData = false;
};

void PrintTo(const ResponseCase& c, std::ostream* os)
{
    *os << c.name;
}

class ResponseEnvelopeMatrix : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(ResponseEnvelopeMatrix, DecodesOrFailsWithTheDecodersOwnError)
{
    const ResponseCase& c = GetParam();
    const QByteArray body(c.body);
    try {
        const auto envelope = APIResponseEnvelope<NamedThing>::decode(body);
        EXPECT_TRUE(c.decodes) << "decoded although it should not: " << c.body;
        EXPECT_EQ(envelope.data.has_value(), c.hasData);
    } catch (const JsonError& error) {
        EXPECT_FALSE(c.decodes) << error.message().toStdString();
        if (c.errorKind) {
            EXPECT_EQ(error.kind(), *c.errorKind) << error.message().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Envelopes, ResponseEnvelopeMatrix,
    ::testing::Values(
        ResponseCase{"absentData", R"({"code":0,"msg":"ok"})", true, {}, false},
        ResponseCase{"nullData", R"({"code":0,"msg":"ok","data":null})", true, {}, false},
        ResponseCase{"presentData", R"({"code":0,"msg":"ok","data":{"name":"n"}})", true, {}, true},
        ResponseCase{"otherMembersIgnored", R"({"code":7,"msg":"x","trace":"t"})", true, {}, false},
        ResponseCase{"undecodableData", R"({"code":0,"msg":"ok","data":{"name":5}})", false,
                     JsonError::Kind::typeMismatch},
        ResponseCase{"undecodableDataEvenWithRefusalCode", R"({"code":40100,"msg":"x","data":{}})", false,
                     JsonError::Kind::missingKey},
        ResponseCase{"codeAsString", R"({"code":"0","msg":"ok"})", false, JsonError::Kind::typeMismatch},
        ResponseCase{"codeAsFraction", R"({"code":0.5,"msg":"ok"})", false, JsonError::Kind::notIntegral},
        ResponseCase{"codeMissing", R"({"msg":"x"})", false, JsonError::Kind::missingKey},
        ResponseCase{"msgMissing", R"({"code":0,"data":{}})", false, JsonError::Kind::missingKey},
        ResponseCase{"msgNotString", R"({"code":0,"msg":1})", false, JsonError::Kind::typeMismatch},
        ResponseCase{"notAnObject", R"([1,2])", false, JsonError::Kind::typeMismatch},
        ResponseCase{"notJson", "<html>", false, JsonError::Kind::invalidJson},
        ResponseCase{"emptyBody", "", false, JsonError::Kind::invalidJson}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResponseEnvelope, KeepsCodeMessageAndDataAsReceived)
{
    const auto envelope =
        APIResponse<NamedThing>::decode(R"({"code":-9223372036854775807,"msg":"","data":{"name":"m"}})");
    EXPECT_EQ(envelope.code, -9223372036854775807LL);
    EXPECT_EQ(envelope.msg, QString());
    ASSERT_TRUE(envelope.data);
    EXPECT_EQ(envelope.data->name, QStringLiteral("m"));
}

TEST(ResponseEnvelope, ErrorNamesThePathInsideData)
{
    try {
        APIResponse<NamedThing>::decode(R"({"code":0,"msg":"ok","data":{"name":false}})");
        FAIL() << "expected a decoding error";
    } catch (const JsonError& error) {
        EXPECT_EQ(error.path(), QStringLiteral("data.name"));
    }
}

TEST(CodeOnlyEnvelope, NeverReadsData)
{
    const auto head = CodeOnlyEnvelope::decode(R"({"code":40100,"msg":"unauthorized","data":[1,2]})");
    EXPECT_EQ(head.code, 40100);
    EXPECT_EQ(head.msg, QStringLiteral("unauthorized"));
}

TEST(CodeOnlyEnvelope, HasTheEnvelopesRequiredMembers)
{
    EXPECT_THROW(CodeOnlyEnvelope::decode(R"({"code":"0","msg":"ok"})"), JsonError);
    EXPECT_THROW(CodeOnlyEnvelope::decode(R"({"code":0})"), JsonError);
    EXPECT_THROW(CodeOnlyEnvelope::decode(R"({"msg":"ok"})"), JsonError);
}

TEST(EmptyData, DecodesFromAnyPresentJsonValue)
{
    for (const char* data : {"{}", "[]", "5", "\"text\"", "true", "{\"a\":1}"}) {
        const QByteArray body = QByteArray(R"({"code":0,"msg":"ok","data":)") + data + "}";
        const auto envelope = APIResponse<EmptyData>::decode(body);
        EXPECT_TRUE(envelope.data.has_value()) << data;
    }
}

TEST(RequestEnvelope, WritesActionAndDataOnly)
{
    const QByteArray text = encodeJsonText(APIRequest<EmptyData>{QStringLiteral("model.list"), EmptyData()}.toJson());
    EXPECT_EQ(text, QByteArray(R"({"action":"model.list","data":{}})"));
}

TEST(RequestEnvelope, SendsTheActionUnchecked)
{
    const QJsonObject object =
        APIRequestEnvelope<QJsonObject>{QStringLiteral("  odd action "), QJsonObject{{QStringLiteral("k"), 1}}}
            .toJson()
            .toObject();
    EXPECT_EQ(object.value(QStringLiteral("action")).toString(), QStringLiteral("  odd action "));
    EXPECT_EQ(object.value(QStringLiteral("data")).toObject().value(QStringLiteral("k")).toInteger(), 1);
    EXPECT_EQ(object.size(), 2);
}

struct ThrowingPayload {
    QJsonValue toJson() const { throw JsonEncodingError(QStringLiteral("x"), QStringLiteral("refused")); }
};

TEST(RequestEnvelope, PassesOnThePayloadsEncodingError)
{
    const APIRequest<ThrowingPayload> request{QStringLiteral("a"), {}};
    EXPECT_THROW(request.toJson(), JsonEncodingError);
}

struct Stamped {
    QString note;
    qint64 count = 0;
    QJsonValue toJson() const
    {
        return QJsonObject{{QStringLiteral("note"), note}, {QStringLiteral("count"), count}};
    }
};

TEST(AnyEncodable, EncodesExactlyAsTheWrappedValue)
{
    const Stamped value{QStringLiteral("n"), 9007199254740993LL};
    const AnyEncodable erased(value);
    EXPECT_EQ(erased.toJson(), value.toJson());
    const auto envelope = APIRequestEnvelope<AnyEncodable>{QStringLiteral("a"), erased};
    EXPECT_EQ(encodeJsonText(envelope.toJson()),
              QByteArray(R"({"action":"a","data":{"count":9007199254740993,"note":"n"}})"));
}

TEST(AnyEncodable, EncodesLazilySoTheErrorSurfacesWithTheEnvelope)
{
    const AnyEncodable erased{ThrowingPayload()};
    const APIRequestEnvelope<AnyEncodable> request{QStringLiteral("a"), erased};
    EXPECT_THROW(request.toJson(), JsonEncodingError);
}

TEST(JsonText, RefusesNumbersJsonCannotSpell)
{
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        const QJsonObject nested{{QStringLiteral("list"), QJsonArray{1, QJsonObject{{QStringLiteral("v"), bad}}}}};
        try {
            encodeJsonText(nested);
            ADD_FAILURE() << "encoded a non-finite number";
        } catch (const JsonEncodingError& error) {
            EXPECT_EQ(error.path(), QStringLiteral("list[1].v"));
        }
    }
    EXPECT_EQ(encodeJsonText(QJsonObject{{QStringLiteral("v"), 1.5}}), QByteArray(R"({"v":1.5})"));
}

TEST(JsonText, WantsAnObjectOrArrayAtTheTop)
{
    EXPECT_THROW(encodeJsonText(QJsonValue(5)), JsonEncodingError);
    EXPECT_EQ(encodeJsonText(QJsonArray{1}), QByteArray("[1]"));
}

TEST(JsonCodingMap, ReadsOnlyStringMembers)
{
    const auto map = JsonCoding<QMap<QString, QString>>::decode(
        parseObject(R"({"retry_after":"3","reason":"x"})"), QStringLiteral("data"));
    EXPECT_EQ(map.value(QStringLiteral("retry_after")), QStringLiteral("3"));
    EXPECT_EQ(map.size(), 2);
    using StringMap = QMap<QString, QString>;
    EXPECT_THROW(JsonCoding<StringMap>::decode(parseObject(R"({"a":1})"), {}), JsonError);
}

TEST(JsonCodingList, NamesTheFailingElement)
{
    try {
        JsonCoding<QList<QString>>::decode(QJsonArray{QStringLiteral("a"), 2}, QStringLiteral("data.names"));
        FAIL() << "expected a decoding error";
    } catch (const JsonError& error) {
        EXPECT_EQ(error.path(), QStringLiteral("data.names[1]"));
    }
}

} // namespace
