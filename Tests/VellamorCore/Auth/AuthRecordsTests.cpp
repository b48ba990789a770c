#include "Auth/KeychainStore.h"
#include "Models/AuthMe.h"
#include "Models/AuthTokens.h"
#include "Models/KeychainDateCoding.h"
#include "Models/RequestCodeResponse.h"
#include "Networking/TokenPairResp.h"
#include "Networking/UserResp.h"
#include "Support/Json/JsonError.h"

#include "AuthTestPrinters.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vellamor;

namespace {

QJsonObject parse(const char* json)
{
    const auto document = QJsonDocument::fromJson(QByteArray(json));
    EXPECT_TRUE(document.isObject()) << json;
    return document.object();
}

Date at(const char* iso)
{
    return *Date::fromIso8601(QString::fromLatin1(iso));
}

struct PairCase {
    const char* name;
    const char* json;
    bool decodes;
    bool hasUser;
};

TEST(TokenPairRespTest, RequiredAndOptionalKeys)
{
    const PairCase cases[] = {
        {"full pair",
         R"({"access_token":"a","refresh_token":"r","access_expire":"2026-03-01T08:15:42.123Z",
             "user":{"id":7,"email":"u@x.io","locale":"zh-CN","created_at":"2025-01-01T00:00:00Z"}})",
         true, true},
        {"user absent", R"({"access_token":"a","refresh_token":"r","access_expire":"2026-03-01T08:15:42Z"})", true,
         false},
        {"user null", R"({"access_token":"a","refresh_token":"r","access_expire":"2026-03-01T08:15:42Z","user":null})",
         true, false},
        {"unknown members ignored",
         R"({"access_token":"a","refresh_token":"r","access_expire":"2026-03-01T08:15:42Z","extra":[1]})", true, false},
        {"access_expire missing", R"({"access_token":"a","refresh_token":"r"})", false, false},
        {"access_expire a number", R"({"access_token":"a","refresh_token":"r","access_expire":1772352942})", false,
         false},
        {"access_expire not a date", R"({"access_token":"a","refresh_token":"r","access_expire":"soon"})", false,
         false},
        {"camelCase keys", R"({"accessToken":"a","refreshToken":"r","accessExpire":"2026-03-01T08:15:42Z"})", false,
         false},
        {"refresh_token null", R"({"access_token":"a","refresh_token":null,"access_expire":"2026-03-01T08:15:42Z"})",
         false, false},
        {"user malformed",
         R"({"access_token":"a","refresh_token":"r","access_expire":"2026-03-01T08:15:42Z","user":{"id":"7"}})", false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.decodes) {
            EXPECT_THROW(TokenPairResp::fromJson(parse(c.json), {}), JsonError);
            continue;
        }
        const TokenPairResp pair = TokenPairResp::fromJson(parse(c.json), {});
        EXPECT_EQ(pair.accessToken, QStringLiteral("a"));
        EXPECT_EQ(pair.refreshToken, QStringLiteral("r"));
        EXPECT_EQ(pair.user.has_value(), c.hasUser);
    }
}

TEST(TokenPairRespTest, ExpiryIsTakenUnchanged)
{
    const auto pair = TokenPairResp::fromJson(
        parse(R"({"access_token":"a","refresh_token":"r","access_expire":"2026-03-01T16:15:42.123+08:00"})"), {});
    EXPECT_EQ(pair.toTokens(),
              (AuthTokens{QStringLiteral("a"), QStringLiteral("r"), at("2026-03-01T08:15:42.123Z")}));
}

TEST(UserRespTest, IdMustBeAJsonIntegerAndLastLoginIsOptional)
{
    const auto user = UserResp::fromJson(
        parse(R"({"id":9007199254740993,"email":"u@x.io","locale":"en","created_at":"2025-01-02T03:04:05Z"})"), {});
    const AuthMe me = user.toAuthMe();
    EXPECT_EQ(me.userId, Q_INT64_C(9007199254740993));
    EXPECT_EQ(me.id(), me.userId);
    EXPECT_EQ(me.email, QStringLiteral("u@x.io"));
    EXPECT_EQ(me.locale, QStringLiteral("en"));
    EXPECT_EQ(me.createdAt, at("2025-01-02T03:04:05Z"));
    EXPECT_FALSE(me.lastLoginAt.has_value());

    const auto withLogin = UserResp::fromJson(
        parse(R"({"id":1,"email":"e","locale":"l","created_at":"2025-01-02T03:04:05Z",
                  "last_login_at":"2025-02-02T03:04:05.5Z"})"),
        {});
    EXPECT_EQ(withLogin.toAuthMe().lastLoginAt, at("2025-02-02T03:04:05.5Z"));

    for (const char* bad : {R"({"id":"7","email":"e","locale":"l","created_at":"2025-01-02T03:04:05Z"})",
                            R"({"id":7.5,"email":"e","locale":"l","created_at":"2025-01-02T03:04:05Z"})",
                            R"({"id":7,"email":"e","created_at":"2025-01-02T03:04:05Z"})",
                            R"({"id":7,"email":"e","locale":"l","created_at":1735787045})"}) {
        EXPECT_THROW(UserResp::fromJson(parse(bad), {}), JsonError) << bad;
    }
}

TEST(RequestCodeResponseTest, IsRegisterOnlyForTheExactWord)
{
    EXPECT_TRUE((RequestCodeResponse{QStringLiteral("register"), 600}).isRegister());
    for (const QString& other : {QStringLiteral("login"), QString(), QStringLiteral("Register"),
                                 QStringLiteral("register ")})
        EXPECT_FALSE((RequestCodeResponse{other, 600}).isRegister()) << other.toStdString();
}

TEST(LocalJsonTest, AuthMeWithoutLastLoginWritesNoKeyAndReadsBackEqual)
{
    const AuthMe me{42, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"), at("2025-01-02T03:04:05Z"), std::nullopt};
    const QJsonObject json = me.toJson();
    EXPECT_EQ(json.keys(), (QStringList{QStringLiteral("createdAt"), QStringLiteral("email"), QStringLiteral("locale"),
                                        QStringLiteral("userId")}));
    EXPECT_TRUE(json.value(QStringLiteral("userId")).isDouble());
    EXPECT_EQ(json.value(QStringLiteral("createdAt")).toString(), QStringLiteral("2025-01-02T03:04:05Z"));
    EXPECT_EQ(AuthMe::fromJson(json, {}), me);

    AuthMe later = me;
    later.lastLoginAt = at("2025-03-01T00:00:00Z");
    EXPECT_EQ(later.toJson().value(QStringLiteral("lastLoginAt")).toString(), QStringLiteral("2025-03-01T00:00:00Z"));
    EXPECT_EQ(AuthMe::fromJson(later.toJson(), {}), later);
    EXPECT_NE(later, me);
}

TEST(LocalJsonTest, AuthTokensUseCamelCaseKeysAndWholeSecondDates)
{
    const AuthTokens tokens{QStringLiteral("at"), QStringLiteral("rt"), at("2025-03-01T08:00:00.750Z")};
    const QJsonObject json = tokens.toJson();
    EXPECT_EQ(json, parse(R"({"accessToken":"at","refreshToken":"rt","expiresAt":"2025-03-01T08:00:00Z"})"));
    EXPECT_EQ(AuthTokens::fromJson(json, {}).expiresAt, at("2025-03-01T08:00:00Z"));
    EXPECT_THROW(AuthTokens::fromJson(parse(R"({"access_token":"at","refresh_token":"rt",
                                                 "expires_at":"2025-03-01T08:00:00Z"})"),
                                      {}),
                 JsonError);
}

TEST(KeychainDateCodingTest, AcceptsOnlyInternetDateTimesWithWholeSeconds)
{
    EXPECT_EQ(decodeKeychainDate(QStringLiteral("2025-03-01T08:00:00Z"), {}), at("2025-03-01T08:00:00Z"));
    EXPECT_EQ(decodeKeychainDate(QStringLiteral("2025-03-01T16:00:00+08:00"), {}), at("2025-03-01T08:00:00Z"));
    for (const QJsonValue& bad : {QJsonValue(QStringLiteral("2025-03-01T08:00:00.123Z")),
                                  QJsonValue(QStringLiteral("2025-03-01T08:00:00")),
                                  QJsonValue(QStringLiteral("2025-03-01")), QJsonValue(1740816000),
                                  QJsonValue(QStringLiteral(" 2025-03-01T08:00:00Z")), QJsonValue()}) {
        EXPECT_THROW(decodeKeychainDate(bad, QStringLiteral("tokens.expiresAt")), JsonError);
    }
    EXPECT_EQ(encodeKeychainDate(at("1999-12-31T23:59:59.999Z")).toString(), QStringLiteral("1999-12-31T23:59:59Z"));
}

TEST(KeychainDocumentTest, MeIsOptionalAndAnyUndecodablePartRejectsTheDocument)
{
    const AuthTokens tokens{QStringLiteral("at"), QStringLiteral("rt"), at("2025-03-01T08:00:00Z")};
    const AuthMe me{1, QStringLiteral("e"), QStringLiteral("l"), at("2025-01-01T00:00:00Z"), std::nullopt};

    const QByteArray withoutMe = KeychainStore::encodeDocument(tokens, std::nullopt);
    EXPECT_FALSE(QJsonDocument::fromJson(withoutMe).object().contains(QStringLiteral("me")));
    const auto decoded = KeychainStore::decodeDocument(withoutMe);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->tokens, tokens);
    EXPECT_FALSE(decoded->me.has_value());

    const auto both = KeychainStore::decodeDocument(KeychainStore::encodeDocument(tokens, me));
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->me, me);

    for (const char* bad : {
             R"({"tokens":{"accessToken":"a","refreshToken":"r","expiresAt":"2025-03-01T08:00:00.5Z"}})",
             R"({"tokens":{"accessToken":"a","refreshToken":"r","expiresAt":"2025-03-01T08:00:00Z"},"me":{"userId":1}})",
             R"({"me":{"userId":1,"email":"e","locale":"l","createdAt":"2025-01-01T00:00:00Z"}})",
             "not json",
         }) {
        EXPECT_FALSE(KeychainStore::decodeDocument(QByteArray(bad)).has_value()) << bad;
    }
}

} // namespace
