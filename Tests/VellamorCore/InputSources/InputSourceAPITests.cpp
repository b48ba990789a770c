#include "InputSources/InputSourceAPI.h"

#include "Support/Async/RunBlocking.h"

#include "../Networking/NetworkingTestPrinters.h"
#include "ErrorOf.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "RecordingUnauthorizedHandler.h"
#include "ScriptedHTTPSession.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::RecordingSystemLog;
using vellamor::test::RecordingUnauthorizedHandler;
using vellamor::test::ScriptedHTTPSession;

namespace {

const QUrl kBase(QStringLiteral("https://api.example.test/prefix"));
const QUrl kPairingBase(QStringLiteral("https://pair.example.test/app/?lang=zh#top"));
const Date kCreated = *Date::fromIso8601(u"2026-03-01T08:15:42Z");
// Stands for an answer that has no HTTP status at all.
constexpr int kNotHTTP = 0;

enum class Operation { createPairing, list, revoke, confirmPairing, status };

QCoro::Task<void> perform(InputSourceAPI& api, Operation operation)
{
    switch (operation) {
    case Operation::createPairing:
        co_await api.createPairing();
        break;
    case Operation::list:
        co_await api.list();
        break;
    case Operation::revoke:
        co_await api.revoke(7);
        break;
    case Operation::confirmPairing:
        co_await api.confirmPairing(7, true);
        break;
    case Operation::status:
        co_await api.status(QStringLiteral("st-1"));
        break;
    }
}

class InputSourceAPITest : public ::testing::Test {
protected:
    InputSourceAPI client()
    {
        const AccessTokenProvider provider = [token = token]() -> QCoro::Task<std::optional<QString>> {
            co_return std::optional<QString>(*token);
        };
        return InputSourceAPI(
            kBase, kPairingBase, session, provider, handler,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("input-source-api"), systemLog, nullptr));
    }

    // "INFO …" / "WARN …" lines as logged.
    QStringList lines() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries())
            lines.append((entry.level == SystemLogLevel::Info ? QStringLiteral("INFO ") : QStringLiteral("WARN "))
                         + entry.publicPart);
        return lines;
    }

    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
    std::shared_ptr<std::optional<QString>> token = std::make_shared<std::optional<QString>>(QStringLiteral("tok"));
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
};

TEST_F(InputSourceAPITest, EachOperationSendsItsActionAndReadsItsReply)
{
    session->respond(200, R"({"code":0,"msg":"ok","data":{"code":"A&B=1","expires_at":"2026-03-01T08:15:42Z"}})")
        .respond(200, R"({"code":0,"msg":"ok","data":{"items":[{"id":7,"kind":"web","name":null,)"
                      R"("friendly_name":null,"created_at":"2026-03-01T08:15:42Z"}]}})")
        .respond(200, R"({"code":0,"msg":""})")
        .respond(200, R"({"code":0,"msg":"ok","data":5})")
        .respond(200, R"({"code":0,"msg":"ok","data":{"status":"pending"}})");
    auto api = client();
    EXPECT_EQ(runBlocking(api.createPairing()),
              (PairingInfo{QStringLiteral("A&B=1"), kCreated,
                           QStringLiteral("https://pair.example.test/pair?code=A%26B%3D1#top"), std::nullopt}));
    EXPECT_EQ(runBlocking(api.list()),
              (QList<InputSource>{InputSource{7, QStringLiteral("web"), QString(), QString(), QStringLiteral("active"),
                                              kCreated, std::nullopt}}));
    runBlocking(api.revoke(7));
    runBlocking(api.confirmPairing(std::numeric_limits<qint64>::max(), false));
    EXPECT_EQ(runBlocking(api.status(QStringLiteral("st-1"))), QStringLiteral("pending"));

    struct Sent {
        QByteArray body;
        bool authorised;
    };
    const std::array<Sent, 5> expected{{
        {R"({"action":"inputSource.createPairing","data":{}})", true},
        {R"({"action":"inputSource.list","data":{}})", true},
        {R"({"action":"inputSource.revoke","data":{"source_id":7}})", true},
        {R"({"action":"inputSource.confirmPairing","data":{"accept":false,"source_id":9223372036854775807}})", true},
        {R"({"action":"inputSource.status","data":{"source_token":"st-1"}})", false},
    }};
    ASSERT_EQ(session->requests().size(), qsizetype(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].body.toStdString());
        const HTTPRequest& request = session->requests()[qsizetype(i)];
        EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/prefix/v1/api.json")));
        EXPECT_EQ(request.method, QStringLiteral("POST"));
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
        EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
        EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")),
                  expected[i].authorised ? std::optional(QStringLiteral("Bearer tok")) : std::nullopt);
        EXPECT_EQ(request.headers.value(QStringLiteral("Accept")), std::nullopt);
        EXPECT_EQ(request.body, expected[i].body);
    }
    EXPECT_EQ(lines(), (QStringList{QStringLiteral("INFO calling inputSource.createPairing"),
                                    QStringLiteral("INFO calling inputSource.list"),
                                    QStringLiteral("INFO calling inputSource.revoke"),
                                    QStringLiteral("INFO calling inputSource.confirmPairing"),
                                    QStringLiteral("INFO calling inputSource.status (anonymous)")}));
}

TEST_F(InputSourceAPITest, FailuresAreMappedLoggedAndRefusalsReportedFirst)
{
    struct Case {
        const char* name;
        Operation operation;
        std::optional<QString> token;
        std::optional<int> status; // none: no request may be sent
        QByteArray body;
        InputSourceAPIError expected;
        QString warning;
        std::optional<AuthAPIError> reported;
    };
    const std::array cases{
        Case{"signed out", Operation::list, std::nullopt, std::nullopt, {}, InputSourceAPIError::missingToken(), {},
             std::nullopt},
        Case{"empty token", Operation::revoke, QString(), std::nullopt, {}, InputSourceAPIError::missingToken(), {},
             std::nullopt},
        Case{"not an HTTP answer", Operation::list, QStringLiteral("tok"), kNotHTTP, R"({"code":0,"msg":"ok"})",
             InputSourceAPIError::transport(QStringLiteral("invalid response")),
             QStringLiteral("inputSource.list failed: invalid response"), std::nullopt},
        Case{"HTTP 401", Operation::list, QStringLiteral("tok"), 401, {}, InputSourceAPIError::unauthorized(),
             QStringLiteral("inputSource.list failed: HTTP 401"), AuthAPIError::tokenInvalid()},
        Case{"HTTP 401, anonymous", Operation::status, QStringLiteral("tok"), 401, {},
             InputSourceAPIError::transport(QStringLiteral("HTTP 401")),
             QStringLiteral("inputSource.status failed: HTTP 401"), std::nullopt},
        Case{"HTTP 500 with a refusal in the body", Operation::list, QStringLiteral("tok"), 500,
             R"({"code":40100,"msg":"no"})", InputSourceAPIError::transport(QStringLiteral("HTTP 500")),
             QStringLiteral("inputSource.list failed: HTTP 500"), std::nullopt},
        Case{"no msg", Operation::revoke, QStringLiteral("tok"), 200, R"({"code":0})",
             InputSourceAPIError::decodingFailed(QStringLiteral("expected string at \"msg\", key absent")),
             QStringLiteral("inputSource.revoke failed: decoding error expected string at \"msg\", key absent"),
             std::nullopt},
        Case{"code 40101", Operation::createPairing, QStringLiteral("tok"), 200, R"({"code":40101,"msg":"expired"})",
             InputSourceAPIError::unauthorized(),
             QStringLiteral("inputSource.createPairing failed: auth failure code 40101"), AuthAPIError::tokenExpired()},
        Case{"code 40101, anonymous", Operation::status, QStringLiteral("tok"), 200,
             R"({"code":40101,"msg":"expired"})", InputSourceAPIError::business(40101, QStringLiteral("expired")),
             QStringLiteral("inputSource.status failed: business error 40101: expired"), std::nullopt},
        Case{"another code", Operation::confirmPairing, QStringLiteral("tok"), 200, R"({"code":42000,"msg":""})",
             InputSourceAPIError::business(42000, QString()),
             QStringLiteral("inputSource.confirmPairing failed: business error 42000: "), std::nullopt},
        Case{"null data", Operation::list, QStringLiteral("tok"), 200, R"({"code":0,"msg":"ok","data":null})",
             InputSourceAPIError::decodingFailed(QStringLiteral("empty data")),
             QStringLiteral("inputSource.list failed: empty data"), std::nullopt},
        Case{"no data, anonymous", Operation::status, QStringLiteral("tok"), 200, R"({"code":0,"msg":"ok"})",
             InputSourceAPIError::decodingFailed(QStringLiteral("empty data")),
             QStringLiteral("inputSource.status failed: empty data"), std::nullopt},
        Case{"expiry as a number", Operation::createPairing, QStringLiteral("tok"), 200,
             R"({"code":0,"msg":"ok","data":{"code":"1","expires_at":1772352942}})",
             InputSourceAPIError::decodingFailed(
                 QStringLiteral("expected string at \"data.expires_at\", found number")),
             QStringLiteral("inputSource.createPairing failed: decoding error expected string at \"data.expires_at\", "
                            "found number"),
             std::nullopt},
        Case{"an item without creation date", Operation::list, QStringLiteral("tok"), 200,
             R"({"code":0,"msg":"ok","data":{"items":[{"id":1,"kind":"web"}]}})",
             InputSourceAPIError::decodingFailed(
                 QStringLiteral("expected string at \"data.items[0].created_at\", key absent")),
             QStringLiteral("inputSource.list failed: decoding error expected string at \"data.items[0].created_at\", "
                            "key absent"),
             std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session = std::make_shared<ScriptedHTTPSession>();
        handler = std::make_shared<RecordingUnauthorizedHandler>();
        systemLog = std::make_shared<RecordingSystemLog>();
        *token = c.token;
        if (c.status == kNotHTTP)
            session->respondNonHTTP(c.body);
        else if (c.status)
            session->respond(*c.status, c.body);
        auto api = client();

        EXPECT_EQ(errorOf<InputSourceAPIError>(perform(api, c.operation)), c.expected);
        EXPECT_EQ(session->requests().size(), c.status ? 1 : 0);
        const QStringList logged = lines();
        ASSERT_FALSE(logged.isEmpty());
        EXPECT_TRUE(logged.first().startsWith(QStringLiteral("INFO calling inputSource.")));
        QStringList warnings;
        if (!c.warning.isEmpty())
            warnings.append(QStringLiteral("WARN ") + c.warning);
        EXPECT_EQ(logged.mid(1), warnings);
        if (c.reported) {
            EXPECT_EQ(handler->reasons, QList<AuthAPIError>{*c.reported});
            EXPECT_EQ(handler->refusedTokens, QStringList{QStringLiteral("tok")});
        } else {
            EXPECT_EQ(handler->started, 0);
        }
    }
}

TEST_F(InputSourceAPITest, RecordsTakeDefaultsOnlyForAbsentOrNullMembers)
{
    const QString created = QStringLiteral(R"("created_at":"2026-03-01T08:15:42Z")");
    struct Case {
        QString item;
        std::optional<InputSource> expected; // none: the record fails
    };
    const std::array cases{
        Case{QStringLiteral(R"({"id":1,"kind":"ime","name":null,"friendly_name":null,"status":null,)") + created
                 + QStringLiteral("}"),
             InputSource{1, QStringLiteral("ime"), QString(), QString(), QStringLiteral("active"), kCreated,
                         std::nullopt}},
        Case{QStringLiteral(R"({"id":2,"kind":"watch","name":"n","friendly_name":"f","status":"revoked",)") + created
                 + QStringLiteral(R"(,"last_used_at":"2026-03-01T08:15:43.5Z"})"),
             InputSource{2, QStringLiteral("watch"), QStringLiteral("n"), QStringLiteral("f"),
                         QStringLiteral("revoked"), kCreated, kCreated.addingSeconds(1.5)}},
        Case{QStringLiteral(R"({"id":3,"kind":"web","status":"pending",)") + created + QStringLiteral("}"),
             InputSource{3, QStringLiteral("web"), QString(), QString(), QStringLiteral("pending"), kCreated,
                         std::nullopt}},
        Case{QStringLiteral(R"({"id":4,"kind":"web","name":5,)") + created + QStringLiteral("}"), std::nullopt},
        Case{QStringLiteral(R"({"id":"5","kind":"web",)") + created + QStringLiteral("}"), std::nullopt},
        Case{QStringLiteral(R"({"id":6,"kind":"web","created_at":1772352942})"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.toStdString());
        session->respond(200, QStringLiteral(R"({"code":0,"msg":"ok","data":{"items":[%1]}})").arg(c.item).toUtf8());
        auto api = client();
        if (!c.expected) {
            const auto error = errorOf<InputSourceAPIError>(api.list());
            EXPECT_TRUE(error && error->kind() == InputSourceAPIError::Kind::decodingFailed);
            continue;
        }
        const QList<InputSource> items = runBlocking(api.list());
        EXPECT_EQ(items, QList<InputSource>{*c.expected});
        // Written back without a missing last use, and read back unchanged.
        EXPECT_EQ(c.expected->toJson().toObject().contains(QStringLiteral("last_used_at")),
                  c.expected->lastUsedAt.has_value());
        EXPECT_EQ(InputSource::fromJson(c.expected->toJson(), {}), *c.expected);
    }
}

TEST_F(InputSourceAPITest, PairingAddressReplacesPathAndQueryAndEncodesTheCode)
{
    struct Case {
        QUrl base;
        QString code;
        QString expected;
    };
    const std::array cases{
        Case{kPairingBase, QStringLiteral("123456"), QStringLiteral("https://pair.example.test/pair?code=123456#top")},
        Case{QUrl(QStringLiteral("http://user@127.0.0.1:8080")), QStringLiteral("a b+c&code=1"),
             QStringLiteral("http://user@127.0.0.1:8080/pair?code=a%20b%2Bc%26code%3D1")},
        Case{QUrl(QStringLiteral("http://exa mple.test/")), QStringLiteral("9"),
             QStringLiteral("https://api.vellamor.com/pair?code=9")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        EXPECT_EQ(InputSourceAPI::buildQRURL(c.code, c.base), c.expected);
    }
}

} // namespace
