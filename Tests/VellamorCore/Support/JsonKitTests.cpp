#include "QtPrinters.h"

#include "Support/Json/Json.h"

#include <gmock/gmock.h>

#include <functional>
#include <limits>

using namespace vellamor;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

JsonReader parse(const char* text)
{
    return JsonReader::parse(QByteArray(text));
}

// Runs `read` and returns the JsonError it throws; fails the test when it throws none.
std::optional<JsonError> errorOf(const std::function<void()>& read)
{
    try {
        read();
    } catch (const JsonError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a JsonError";
    return std::nullopt;
}

} // namespace

TEST(JsonReader, RefusalsNameThePathWhatWasExpectedAndWhatWasFound)
{
    const JsonReader root = parse(R"({"data":{"id":42,"s":"a","ok":true,"list":[1],"obj":{},"n":null,"num":1.5,)"
                                  R"("big":1e19,"items":[{"id":1},{"id":"two"}]}})");
    const JsonReader data = root.requireObject(u"data");
    struct Case {
        const char* name;
        std::function<void()> read;
        const char* message;
    };
    const Case cases[] = {
        { "number as string", [&] { data.requireString(u"id"); }, R"(expected string at "data.id", found number)" },
        { "string as bool", [&] { data.requireBool(u"s"); }, R"(expected bool at "data.s", found string)" },
        { "bool as integer", [&] { data.requireInt64(u"ok"); }, R"(expected integer at "data.ok", found bool)" },
        { "array as object", [&] { data.requireObject(u"list"); }, R"(expected object at "data.list", found array)" },
        { "object as array", [&] { data.requireArray(u"obj"); }, R"(expected array at "data.obj", found object)" },
        { "string as number", [&] { data.requireDouble(u"s"); }, R"(expected number at "data.s", found string)" },
        { "null as string", [&] { data.requireString(u"n"); }, R"(expected string at "data.n", found null)" },
        { "absent", [&] { data.requireString(u"missing"); }, R"(expected string at "data.missing", key absent)" },
        { "optional string", [&] { data.optionalString(u"id"); }, R"(expected string at "data.id", found number)" },
        { "optional object", [&] { data.optionalObject(u"s"); }, R"(expected object at "data.s", found string)" },
        { "fraction as integer", [&] { data.requireInt64(u"num"); },
            R"(expected integer at "data.num", found non-integral number 1.5)" },
        { "beyond 64 bits", [&] { data.requireInt64(u"big"); },
            R"(expected 64-bit integer at "data.big", found out-of-range number 1e+19)" },
        { "array element", [&] { data.requireArray(u"list").stringAt(0); },
            R"(expected string at "data.list[0]", found number)" },
        { "past the array's end", [&] { data.requireArray(u"list").int64At(1); },
            R"(expected integer at "data.list[1]", key absent)" },
        { "key in an array element", [&] { data.requireArray(u"items").objectAt(1).requireInt64(u"id"); },
            R"(expected integer at "data.items[1].id", found string)" },
        { "every element checked", [&] { data.requireArray(u"items").strings(); },
            R"(expected string at "data.items[0]", found object)" },
        { "top-level key", [&] { root.requireString(u"data"); }, R"(expected string at "data", found object)" },
        { "top-level array", [] { parse("[1,2]"); }, "expected object at top level, found array" },
        { "caller's own rule", [&] { throw data.invalidValue(u"n", QStringLiteral("too many")); },
            R"(invalid value at "data.n": too many)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto error = errorOf(c.read);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->errorDescription(), QString::fromUtf8(c.message));
    }
    const auto error = errorOf([&] { data.requireInt64(u"s"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->debugDescription(),
        QStringLiteral(R"(typeMismatch("expected integer at \"data.s\", found string"))"));
}

TEST(JsonReader, MalformedTextIsInvalidJsonWithItsOffset)
{
    for (const char* text : { "", R"({"a":)", R"({"a":1,})", "not json" }) {
        SCOPED_TRACE(text);
        const auto error = errorOf([&] { parse(text); });
        ASSERT_TRUE(error);
        EXPECT_THAT(error->errorDescription().toStdString(), ::testing::StartsWith("invalid JSON: "));
        EXPECT_THAT(error->errorDescription().toStdString(), ::testing::HasSubstr(" at offset "));
    }
}

TEST(JsonReader, AbsentNullAndPresentAreDistinct)
{
    const JsonReader r = parse(R"({"s":"v","n":null,"e":""})");
    struct Case {
        const char16_t* key;
        bool contains;
        bool isNull;
        bool hasValue;
        std::optional<QString> optional;
    };
    const Case cases[] = {
        { u"s", true, false, true, QStringLiteral("v") },
        { u"n", true, true, false, std::nullopt },
        { u"absent", false, false, false, std::nullopt },
        { u"e", true, false, true, QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.key).toStdString());
        EXPECT_EQ(r.contains(c.key), c.contains);
        EXPECT_EQ(r.isNull(c.key), c.isNull);
        EXPECT_EQ(r.hasValue(c.key), c.hasValue);
        EXPECT_EQ(r.optionalString(c.key), c.optional);
    }
    EXPECT_FALSE(r.optionalInt64(u"n"));
    EXPECT_TRUE(r.value(u"absent").isUndefined());
    // Looking a key up never inserts it.
    EXPECT_EQ(r.object().size(), 3);
}

TEST(JsonReader, Int64IsExactAndChecked)
{
    struct Case {
        const char* literal;
        std::optional<qint64> value; // none: must be refused
        JsonError::Kind refusal;
    };
    const Case cases[] = {
        { "0", 0, {} },
        { "-1", -1, {} },
        { "1.0", 1, {} },
        { "1e3", 1000, {} },
        { "-0", 0, {} },
        { "9007199254740993", 9007199254740993LL, {} }, // 2^53 + 1: a double would give ...992
        { "9223372036854775807", kMax, {} },
        { "-9223372036854775808", kMin, {} },
        { "1.5", std::nullopt, JsonError::Kind::notIntegral },
        { "-0.5", std::nullopt, JsonError::Kind::notIntegral },
        { "9223372036854775808", std::nullopt, JsonError::Kind::outOfRange },
        { "-1e19", std::nullopt, JsonError::Kind::outOfRange },
        { "1e300", std::nullopt, JsonError::Kind::outOfRange },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literal);
        const JsonReader r = JsonReader::parse(QByteArray(R"({"v":)") + c.literal + "}");
        if (c.value) {
            EXPECT_EQ(r.requireInt64(u"v"), *c.value);
        } else {
            const auto error = errorOf([&] { r.requireInt64(u"v"); });
            ASSERT_TRUE(error);
            EXPECT_EQ(error->kind(), c.refusal);
            EXPECT_FALSE(json::exactInt64(r.value(u"v")));
        }
    }
    // Numbers built in code are held as doubles and follow the same rule.
    EXPECT_EQ(json::exactInt64(QJsonValue(2.0)), 2);
    EXPECT_FALSE(json::exactInt64(QJsonValue(2.25)));
    EXPECT_FALSE(json::exactInt64(QJsonValue(9.3e18)));
}

TEST(JsonWriter, WritesTypedValuesExactlyAndOmitsNone)
{
    JsonWriter nested;
    nested.insert(u"x", 1);
    JsonWriter w;
    w.insert(u"s", QStringLiteral("text"))
        .insert(u"b", true)
        .insert(u"i", kMax)
        .insert(u"neg", qint64(-9007199254740993LL))
        .insert(u"u", quint64(kMax))
        .insert(u"d", 0.5)
        .insert(u"o", nested)
        .insert(u"list", QStringList { QStringLiteral("a") })
        .insertIfPresent(u"none", std::optional<QString>())
        .insertIfPresent(u"some", std::optional<qint64>(7))
        .insertNull(u"null");
    EXPECT_EQ(w.toJson(),
        QByteArray(R"({"b":true,"d":0.5,"i":9223372036854775807,"list":["a"],"neg":-9007199254740993,)"
                   R"("null":null,"o":{"x":1},"s":"text","some":7,"u":9223372036854775807})"));
    const JsonReader back = JsonReader::parse(w.toJson());
    EXPECT_TRUE(back.requireBool(u"b"));
    EXPECT_EQ(back.requireDouble(u"d"), 0.5);
}

TEST(JsonWriter, RefusesValuesJsonCannotHoldExactly)
{
    JsonWriter w;
    EXPECT_THROW(w.insert(u"nan", std::numeric_limits<double>::quiet_NaN()), JsonError);
    EXPECT_THROW(w.insert(u"inf", std::numeric_limits<double>::infinity()), JsonError);
    EXPECT_THROW(w.insert(u"v", QJsonValue(std::numeric_limits<double>::infinity())), JsonError);
    EXPECT_THROW(w.insert(u"u", std::numeric_limits<quint64>::max()), JsonError);
    EXPECT_TRUE(w.object().isEmpty());
}
