#include "Account/ModelAPI.h"
#include "Account/PreferencesAPI.h"
#include "Account/SystemAPI.h"

#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonReader.h"

#include "../Networking/NetworkingTestPrinters.h"
#include "ErrorOf.h"
#include "AccountTestSupport.h"
#include "QtPrinters.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::RecordingUnauthorizedHandler;
using vellamor::test::ScriptedHTTPSession;

namespace {

const char* const kView = R"({"user_id":9223372036854775807,"default_scene":"chat","default_style":"casual",)"
                          R"("default_lang":"zh-CN","scene_overrides":{"emailReply":"formal"},)"
                          R"("transform_defaults":{},"history_sync":true,"personalization_enabled":false,)"
                          R"("dict_version":-1,"history_version":12})";
const PreferencesView kViewRecord { std::numeric_limits<qint64>::max(), QStringLiteral("chat"),
    QStringLiteral("casual"), QStringLiteral("zh-CN"), { { QStringLiteral("emailReply"), QStringLiteral("formal") } },
    {}, true, false, -1, 12 };

QByteArray success(const QByteArray& data)
{
    return R"({"code":0,"msg":"ok","data":)" + data + "}";
}

class AccountServicesTest : public test::AccountClientTest {
protected:
    PreferencesAPI preferences() { return PreferencesAPI(base, session, tokens(), handler); }
};

TEST_F(AccountServicesTest, PreferencesRequestsOnTheWire)
{
    auto client = preferences();
    session->respond(200, success(kView)).respond(200, success(kView)).respond(200, success(kView));

    EXPECT_EQ(runBlocking(client.getPreferences()), kViewRecord);
    PreferencesUpdateRequest onlySync;
    onlySync.historySync = false;
    runBlocking(client.updatePreferences(onlySync));
    PreferencesUpdateRequest overrides;
    overrides.sceneOverrides = QMap<QString, QString> { { QStringLiteral("emailReply"), QStringLiteral("formal") } };
    runBlocking(client.updatePreferences(overrides));

    ASSERT_EQ(session->requests().size(), 3);
    const HTTPRequest& request = session->requests().first();
    EXPECT_EQ(request.url, endpoint);
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
    EXPECT_EQ(request.headers.names(),
        (QStringList { QStringLiteral("Content-Type"), QStringLiteral("Accept"), QStringLiteral("Authorization") }));
    EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer tok"));
    EXPECT_EQ(sentEnvelope(request), envelope(QStringLiteral("preferences.get"), {}));
    EXPECT_EQ(session->requests()[1].body, R"({"action":"preferences.update","data":{"history_sync":false}})");
    // a free-form map keeps its keys as the caller spelt them
    EXPECT_EQ(sentEnvelope(session->requests()[2]),
        envelope(QStringLiteral("preferences.update"),
            QJsonObject { { QStringLiteral("scene_overrides"),
                QJsonObject { { QStringLiteral("emailReply"), QStringLiteral("formal") } } } }));
    EXPECT_TRUE(handler->reasons.isEmpty());
}

TEST_F(AccountServicesTest, PreferencesMapEveryFailureAndSignOutFirst)
{
    using E = PreferencesAPIError;
    struct Case {
        std::optional<QString> token;
        int status;
        QByteArray body;
        PreferencesAPIError expected;
        std::optional<AuthAPIError> signOut;
    };
    QJsonObject withoutVersion = JsonReader::parse(kView).object();
    withoutVersion.remove(QStringLiteral("dict_version"));
    const std::array cases {
        Case { std::nullopt, 200, success(kView), E::network(QStringLiteral("未登录")), std::nullopt },
        Case { QString(), 200, success(kView), E::network(QStringLiteral("未登录")), std::nullopt },
        Case { QStringLiteral("tok"), 401, success(kView), E::network(QStringLiteral("登录已过期")),
            AuthAPIError::tokenInvalid() },
        Case { QStringLiteral("tok"), 403, success(kView), E::network(QStringLiteral("HTTP 403")), std::nullopt },
        Case { QStringLiteral("tok"), notHTTP, success(kView), E::network(QStringLiteral("无效响应")), std::nullopt },
        Case { QStringLiteral("tok"), 200, R"({"code":40102,"msg":"r"})", E::network(QStringLiteral("登录已过期")),
            AuthAPIError::tokenRevoked() },
        Case { QStringLiteral("tok"), 200, R"({"code":40104,"msg":"m"})", E::server(40104, QStringLiteral("m")),
            std::nullopt },
        Case { QStringLiteral("tok"), 200, R"({"code":0,"msg":"ok","data":null})", E::network(QStringLiteral("空响应")),
            std::nullopt },
        Case { QStringLiteral("tok"), 200, success(QJsonDocument(withoutVersion).toJson()),
            E::network(QStringLiteral("响应解析失败")), std::nullopt },
        Case { QStringLiteral("tok"), 200, "not json", E::network(QStringLiteral("响应解析失败")), std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " " << c.body.data());
        *token = c.token;
        session = std::make_shared<ScriptedHTTPSession>();
        handler = std::make_shared<RecordingUnauthorizedHandler>();
        reply(c.status, c.body);
        auto client = preferences();

        EXPECT_EQ(errorOf<PreferencesAPIError>(client.getPreferences()), c.expected);

        EXPECT_EQ(session->requests().size(), c.token && !c.token->isEmpty() ? 1 : 0);
        EXPECT_EQ(handler->reasons, c.signOut ? QList<AuthAPIError>{*c.signOut} : QList<AuthAPIError>());
        EXPECT_EQ(handler->refusedTokens, c.signOut ? QStringList { QStringLiteral("tok") } : QStringList());
    }
}

TEST_F(AccountServicesTest, PreferenceRecordsAreStrict)
{
    const QJsonObject view = JsonReader::parse(kView).object();
    for (const QString& key : view.keys()) {
        SCOPED_TRACE(key.toStdString());
        QJsonObject without = view;
        without.remove(key);
        EXPECT_THROW(PreferencesView::fromJson(without, {}), JsonError);
        without.insert(key, QJsonValue::Null);
        EXPECT_THROW(PreferencesView::fromJson(without, {}), JsonError);
    }
    QJsonObject numberInMap = view;
    numberInMap.insert(QStringLiteral("transform_defaults"), QJsonObject { { QStringLiteral("mode"), 1 } });
    EXPECT_THROW(PreferencesView::fromJson(numberInMap, {}), JsonError);
    EXPECT_EQ(PreferencesView::fromJson(kViewRecord.toJson(), {}), kViewRecord);

    const PreferencesUpdateRequest partial = PreferencesUpdateRequest::fromJson(
        JsonReader::parse(R"({"default_scene":null,"default_lang":"en","history_sync":true})").object(), {});
    EXPECT_EQ(partial,
        (PreferencesUpdateRequest {
            std::nullopt, std::nullopt, QStringLiteral("en"), std::nullopt, std::nullopt, true }));
    EXPECT_EQ(partial.toJson(),
        (QJsonObject {
            { QStringLiteral("default_lang"), QStringLiteral("en") }, { QStringLiteral("history_sync"), true } }));
    EXPECT_EQ(PreferencesUpdateRequest().toJson(), QJsonObject());
}

TEST_F(AccountServicesTest, ModelListThroughTheGenericClient)
{
    const QByteArray models = R"({"code":0,"msg":"","data":{"models":[{"name":"standard","model":"m-1",)"
                              R"("active":true},{"name":"fast","model":null,"active":false},)"
                              R"({"name":"slow","active":false}]}})";
    struct Case {
        std::optional<QString> token;
        std::optional<QString> authorization;
    };
    const std::array cases {
        Case { QStringLiteral("tok"), QStringLiteral("Bearer tok") },
        Case { std::nullopt, std::nullopt },
        Case { QString(), std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token.value_or(QStringLiteral("(none)")).toStdString());
        *token = c.token;
        session = std::make_shared<ScriptedHTTPSession>();
        session->respond(200, models).respond(200, R"({"code":0,"msg":"","data":{"models":[]}})");
        ModelAPI client(base, session, tokens());

        EXPECT_EQ(runBlocking(client.listLLMModels()),
            (QList<LLMModelOption> { { QStringLiteral("standard"), QStringLiteral("m-1"), true },
                { QStringLiteral("fast"), std::nullopt, false }, { QStringLiteral("slow"), std::nullopt, false } }));
        EXPECT_TRUE(runBlocking(client.listLLMModels()).isEmpty());

        ASSERT_EQ(session->requests().size(), 2);
        const HTTPRequest& request = session->requests().first();
        EXPECT_EQ(request.url, endpoint);
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(60000));
        EXPECT_EQ(request.headers.value(QStringLiteral("Accept")), QStringLiteral("application/json"));
        EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), c.authorization);
        EXPECT_EQ(sentEnvelope(request),
            envelope(QStringLiteral("model.list"), QJsonObject { { QStringLiteral("kind"), QStringLiteral("llm") } }));
    }

    // one entry without "active" fails the whole list; a refusal of the
    // token is the generic client's error, with nobody to tell
    session->respond(200, R"({"code":0,"msg":"","data":{"models":[{"name":"a","active":true},{"name":"b"}]}})")
        .respond(200, R"({"code":40100,"msg":"unauthorized"})");
    ModelAPI client(base, session, tokens());
    EXPECT_TRUE(errorOf<VellamorTransportError>(client.listLLMModels()).has_value());
    EXPECT_EQ(errorOf<VellamorServiceError>(client.listLLMModels()),
        VellamorServiceError(40100, QStringLiteral("unauthorized")));
}

TEST_F(AccountServicesTest, SystemRequestsCarryNoToken)
{
    session->respond(200, success(R"({"pong":true,"region":"cn","time":"2026-03-01T08:15:42.123456Z"})"))
        .respond(200, success(R"({"region":"cn","site_url":"https://x.test","asr_provider":"a","llm_provider":"l",)"
                              R"("scene_rules":["r1","r2"],"announcement":""})"));
    SystemAPI client(base, session);

    EXPECT_EQ(runBlocking(client.ping()),
        (SystemPingResponse { true, QStringLiteral("cn"), *Date::fromIso8601(u"2026-03-01T08:15:42.123456Z") }));
    EXPECT_EQ(runBlocking(client.config()),
        (SystemConfigResponse { QStringLiteral("cn"), QStringLiteral("https://x.test"), QStringLiteral("a"),
            QStringLiteral("l"), { QStringLiteral("r1"), QStringLiteral("r2") }, QString() }));
    ASSERT_EQ(session->requests().size(), 2);
    for (const HTTPRequest& request : session->requests()) {
        EXPECT_EQ(request.url, endpoint);
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
        EXPECT_EQ(request.headers.names(), (QStringList { QStringLiteral("Content-Type"), QStringLiteral("Accept") }));
    }
    EXPECT_EQ(sentEnvelope(session->requests()[0]), envelope(QStringLiteral("system.ping"), {}));
    EXPECT_EQ(sentEnvelope(session->requests()[1]), envelope(QStringLiteral("system.config"), {}));
}

TEST_F(AccountServicesTest, SystemFailuresTellNobody)
{
    using E = SystemAPIError;
    const QByteArray config = R"({"region":"cn","site_url":"s","asr_provider":"a","llm_provider":"l",)"
                              R"("scene_rules":[]})";
    struct Case {
        int status;
        QByteArray body;
        SystemAPIError expected;
    };
    const std::array cases {
        Case { 401, success(config), E::network(QStringLiteral("HTTP 401")) },
        Case { notHTTP, success(config), E::network(QStringLiteral("无效响应")) },
        Case { 204, "", E::network(QStringLiteral("响应解析失败")) },
        Case { 200, success(config), E::network(QStringLiteral("响应解析失败")) }, // no "announcement"
        Case { 200, R"({"code":40100,"msg":"u"})", E::server(40100, QStringLiteral("u")) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " " << c.body.data());
        reply(c.status, c.body);
        SystemAPI client(base, session);
        EXPECT_EQ(errorOf<SystemAPIError>(client.config()), c.expected);
    }
    reply(200, success(R"({"pong":true,"region":"cn","time":"2026-03-01"})"));
    SystemAPI client(base, session);
    EXPECT_EQ(errorOf<SystemAPIError>(client.ping()), E::network(QStringLiteral("响应解析失败")));
}

TEST_F(AccountServicesTest, NetworkAndServerTexts)
{
    EXPECT_EQ(
        PreferencesAPIError::network(QStringLiteral("未登录")).errorDescription(), QStringLiteral("网络异常：未登录"));
    EXPECT_EQ(PreferencesAPIError::server(40104, QStringLiteral("坏了")).errorDescription(),
        QStringLiteral("服务异常 40104：坏了"));
    EXPECT_EQ(
        SystemAPIError::network(QStringLiteral("HTTP 401")).errorDescription(), QStringLiteral("网络异常：HTTP 401"));
    EXPECT_EQ(SystemAPIError::server(-1, QString()).errorDescription(), QStringLiteral("服务异常 -1："));
}

} // namespace
