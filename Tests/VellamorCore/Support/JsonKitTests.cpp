#include "QtPrinters.h"

#include "Support/Json/Json.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gmock/gmock.h>

#include <functional>
#include <limits>

using namespace vellamor;
using ::testing::HasSubstr;

namespace {

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

TEST(JsonReader, TypeMismatchNamesPathExpectedAndFoundType)
{
    const JsonReader root
        = parse(R"({"data":{"user_id":42,"name":"a","ok":true,"list":[1],"obj":{},"n":null,"num":1.5}})");
    const JsonReader data = root.requireObject(u"data");

    struct Case {
        const char* name;
        std::function<void()> read;
        const char* message;
    };
    const Case cases[] = {
        { "number as string", [&] { data.requireString(u"user_id"); },
            R"(expected string at "data.user_id", found number)" },
        { "string as bool", [&] { data.requireBool(u"name"); }, R"(expected bool at "data.name", found string)" },
        { "bool as integer", [&] { data.requireInt64(u"ok"); }, R"(expected integer at "data.ok", found bool)" },
        { "array as object", [&] { data.requireObject(u"list"); }, R"(expected object at "data.list", found array)" },
        { "object as array", [&] { data.requireArray(u"obj"); }, R"(expected array at "data.obj", found object)" },
        { "string as number", [&] { data.requireDouble(u"name"); }, R"(expected number at "data.name", found string)" },
        { "null as string", [&] { data.requireString(u"n"); }, R"(expected string at "data.n", found null)" },
        { "absent string", [&] { data.requireString(u"missing"); }, R"(expected string at "data.missing", key absent)" },
        { "optional of wrong type", [&] { data.optionalString(u"user_id"); },
            R"(expected string at "data.user_id", found number)" },
        { "optional bool of wrong type", [&] { data.optionalBool(u"name"); },
            R"(expected bool at "data.name", found string)" },
        { "optional object of wrong type", [&] { data.optionalObject(u"name"); },
            R"(expected object at "data.name", found string)" },
        { "fraction as integer", [&] { data.requireInt64(u"num"); },
            R"(expected integer at "data.num", found non-integral number 1.5)" },
        { "array element", [&] { data.requireArray(u"list").stringAt(0); },
            R"(expected string at "data.list[0]", found number)" },
        { "array element past the end", [&] { data.requireArray(u"list").int64At(1); },
            R"(expected integer at "data.list[1]", key absent)" },
        { "top-level key", [&] { root.requireString(u"data"); }, R"(expected string at "data", found object)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto error = errorOf(c.read);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->errorDescription(), QString::fromUtf8(c.message));
    }
}

TEST(JsonReader, ErrorKindsAndDebugForm)
{
    const JsonReader r = parse(R"({"a":"x","b":null})");
    auto mismatch = errorOf([&] { r.requireInt64(u"a"); });
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->kind(), JsonError::Kind::typeMismatch);
    EXPECT_EQ(mismatch->path(), QStringLiteral("a"));
    EXPECT_EQ(mismatch->expected(), QStringLiteral("integer"));
    EXPECT_EQ(mismatch->found(), QStringLiteral("string"));
    EXPECT_EQ(mismatch->debugDescription(), QStringLiteral(R"(typeMismatch("expected integer at \"a\", found string"))"));

    auto missing = errorOf([&] { r.requireBool(u"c"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->kind(), JsonError::Kind::missingKey);

    auto null = errorOf([&] { r.requireBool(u"b"); });
    ASSERT_TRUE(null);
    EXPECT_EQ(null->kind(), JsonError::Kind::typeMismatch);
    EXPECT_EQ(null->found(), QStringLiteral("null"));

    // Caught as the common base, the error keeps its text.
    try {
        r.requireBool(u"a");
        FAIL();
    } catch (const Error& e) {
        EXPECT_THAT(std::string(e.what()), HasSubstr("expected bool at \\\"a\\\""));
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
    // Reading never inserts the key it looked for.
    EXPECT_FALSE(r.contains(u"absent"));
    EXPECT_EQ(r.object().size(), 3);
    EXPECT_TRUE(r.value(u"absent").isUndefined());
    EXPECT_FALSE(r.optionalInt64(u"n"));
    EXPECT_FALSE(r.optionalObject(u"absent"));
    EXPECT_FALSE(r.optionalArray(u"n"));
}

TEST(JsonReader, Int64IsExactAndChecked)
{
    struct Case {
        const char* literal;
        std::optional<qint64> value; // none: must be refused
        JsonError::Kind refusal;
    };
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    const Case cases[] = {
        { "0", 0, {} },
        { "-1", -1, {} },
        { "1.0", 1, {} },
        { "1e3", 1000, {} },
        { "-0", 0, {} },
        { "9007199254740993", 9007199254740993LL, {} }, // 2^53 + 1: a double would give ...992
        { "-9007199254740993", -9007199254740993LL, {} },
        { "9223372036854775807", max, {} },
        { "-9223372036854775808", min, {} },
        { "1.5", std::nullopt, JsonError::Kind::notIntegral },
        { "-0.5", std::nullopt, JsonError::Kind::notIntegral },
        { "1e-7", std::nullopt, JsonError::Kind::notIntegral },
        { "9223372036854775808", std::nullopt, JsonError::Kind::outOfRange },
        { "1e19", std::nullopt, JsonError::Kind::outOfRange },
        { "-1e19", std::nullopt, JsonError::Kind::outOfRange },
        { "1e300", std::nullopt, JsonError::Kind::outOfRange },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literal);
        const JsonReader r = JsonReader::parse(QByteArray(R"({"v":)") + c.literal + "}");
        if (c.value) {
            EXPECT_EQ(r.requireInt64(u"v"), *c.value);
            EXPECT_EQ(r.optionalInt64(u"v"), c.value);
            EXPECT_EQ(JsonArrayReader(QJsonArray { r.value(u"v") }).int64At(0), *c.value);
        } else {
            const auto error = errorOf([&] { r.requireInt64(u"v"); });
            ASSERT_TRUE(error);
            EXPECT_EQ(error->kind(), c.refusal);
            EXPECT_EQ(error->path(), QStringLiteral("v"));
            EXPECT_FALSE(json::exactInt64(r.value(u"v")));
        }
    }
}

TEST(JsonReader, NumbersBuiltInCodeFollowTheSameRule)
{
    EXPECT_EQ(json::exactInt64(QJsonValue(2.0)), 2);
    EXPECT_EQ(json::exactInt64(QJsonValue(qint64(-5))), -5);
    EXPECT_FALSE(json::exactInt64(QJsonValue(2.25)));
    EXPECT_FALSE(json::exactInt64(QJsonValue(9.3e18)));
    EXPECT_FALSE(json::exactInt64(QJsonValue(QStringLiteral("7"))));
    EXPECT_FALSE(json::exactInt64(QJsonValue(true)));
}

TEST(JsonReader, ParseReportsWhatFailed)
{
    struct Case {
        const char* text;
        JsonError::Kind kind;
        const char* fragment;
    };
    const Case cases[] = {
        { "", JsonError::Kind::invalidJson, "invalid JSON: " },
        { R"({"a":)", JsonError::Kind::invalidJson, "invalid JSON: " },
        { R"({"a":1,})", JsonError::Kind::invalidJson, "at offset" },
        { "[1,2]", JsonError::Kind::typeMismatch, "expected object at top level, found array" },
        { "not json", JsonError::Kind::invalidJson, "invalid JSON: " },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto error = errorOf([&] { parse(c.text); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), c.kind);
        EXPECT_THAT(error->errorDescription().toStdString(), HasSubstr(c.fragment));
    }
    EXPECT_EQ(parse("{}").object().size(), 0);
}

TEST(JsonReader, NestedPathsAndArrays)
{
    const JsonReader root = parse(
        R"({"data":{"items":[{"id":1,"tags":["a","b"]},{"id":"two"}],"meta":{"k":"v","n":"1"},"bad":{"k":1}}})");
    const JsonReader data = root.requireObject(u"data");
    const JsonArrayReader items = data.requireArray(u"items");
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items.objectAt(0).path(), QStringLiteral("data.items[0]"));
    EXPECT_EQ(items.objectAt(0).requireInt64(u"id"), 1);
    EXPECT_EQ(items.objectAt(0).requireArray(u"tags").strings(), QStringList({ QStringLiteral("a"), QStringLiteral("b") }));

    const auto error = errorOf([&] { items.objectAt(1).requireInt64(u"id"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorDescription(), QStringLiteral(R"(expected integer at "data.items[1].id", found string)"));

    const auto all = errorOf([&] { items.objects()[1].requireInt64(u"id"); });
    ASSERT_TRUE(all);
    EXPECT_EQ(all->path(), QStringLiteral("data.items[1].id"));

    EXPECT_EQ(data.requireObject(u"meta").toStringMap(),
        (QMap<QString, QString> { { QStringLiteral("k"), QStringLiteral("v") }, { QStringLiteral("n"), QStringLiteral("1") } }));
    const auto mapError = errorOf([&] { data.requireObject(u"bad").toStringMap(); });
    ASSERT_TRUE(mapError);
    EXPECT_EQ(mapError->path(), QStringLiteral("data.bad.k"));

    EXPECT_EQ(data.invalidValue(u"items", QStringLiteral("too many")).errorDescription(),
        QStringLiteral(R"(invalid value at "data.items": too many)"));
}

TEST(JsonWriter, WritesTypedValuesAndOmitsNone)
{
    JsonWriter nested;
    nested.insert(u"x", 1);
    JsonWriter w;
    w.insert(u"s", QStringLiteral("text"))
        .insert(u"b", false)
        .insert(u"i", std::numeric_limits<qint64>::max())
        .insert(u"neg", qint64(-9007199254740993LL))
        .insert(u"size", qsizetype(3))
        .insert(u"d", 0.5)
        .insert(u"o", nested)
        .insert(u"list", QStringList { QStringLiteral("a") })
        .insertIfPresent(u"none", std::optional<QString>())
        .insertIfPresent(u"some", std::optional<QString>(QStringLiteral("v")))
        .insertIfPresent(u"someInt", std::optional<qint64>(7))
        .insertNull(u"null");

    const JsonReader back = JsonReader::parse(w.toJson());
    EXPECT_EQ(back.requireString(u"s"), QStringLiteral("text"));
    EXPECT_FALSE(back.requireBool(u"b"));
    EXPECT_EQ(back.requireInt64(u"i"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(back.requireInt64(u"neg"), -9007199254740993LL);
    EXPECT_EQ(back.requireInt64(u"size"), 3);
    EXPECT_EQ(back.requireDouble(u"d"), 0.5);
    EXPECT_EQ(back.requireObject(u"o").requireInt64(u"x"), 1);
    EXPECT_EQ(back.requireArray(u"list").strings(), QStringList { QStringLiteral("a") });
    EXPECT_FALSE(back.contains(u"none"));
    EXPECT_EQ(back.requireString(u"some"), QStringLiteral("v"));
    EXPECT_EQ(back.requireInt64(u"someInt"), 7);
    EXPECT_TRUE(back.isNull(u"null"));
}

TEST(JsonWriter, RefusesValuesJsonCannotHoldExactly)
{
    JsonWriter w;
    EXPECT_THROW(w.insert(u"nan", std::numeric_limits<double>::quiet_NaN()), JsonError);
    EXPECT_THROW(w.insert(u"inf", std::numeric_limits<double>::infinity()), JsonError);
    EXPECT_THROW(w.insert(u"v", QJsonValue(std::numeric_limits<double>::infinity())), JsonError);
    EXPECT_THROW(w.insert(u"u", std::numeric_limits<quint64>::max()), JsonError);
    w.insert(u"u", quint64(std::numeric_limits<qint64>::max()));
    EXPECT_EQ(JsonReader(w.object()).requireInt64(u"u"), std::numeric_limits<qint64>::max());
    EXPECT_FALSE(w.object().contains(QStringLiteral("nan")));
}
