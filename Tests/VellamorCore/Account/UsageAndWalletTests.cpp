#include "Account/UsageAPI.h"
#include "Account/WalletAPI.h"

#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonReader.h"

#include "../Networking/NetworkingTestPrinters.h"
#include "AccountTestSupport.h"
#include "ErrorOf.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::RecordingSystemLog;
using vellamor::test::RecordingUnauthorizedHandler;
using vellamor::test::ScriptedHTTPSession;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

const char* const kPlan = R"({"plan":"pro","weekly_audio_sec_limit":3600,"weekly_transform_limit":100,)"
                          R"("remaining_audio_sec":600,"remaining_transform":40})";

enum class Op { usage, plan, wallet };

// The log lines of one client, level and text.
using Lines = QList<std::pair<SystemLogLevel, QString>>;

class UsageAndWalletTest : public test::AccountClientTest {
protected:
    QCoro::Task<void> perform(Op op, const QString& period = QString())
    {
        const VellamorLog log(QStringLiteral("com.vellamor.app"), QStringLiteral("account"), systemLog, nullptr);
        UsageAPI usage(base, session, tokens(), handler, log);
        WalletAPI wallet(base, session, tokens(), handler, log);
        switch (op) {
        case Op::usage:
            co_await usage.fetchUsage(period);
            break;
        case Op::plan:
            co_await usage.fetchPlan();
            break;
        case Op::wallet:
            co_await wallet.fetchWallet();
            break;
        }
    }

    Lines lines() const
    {
        Lines seen;
        for (const auto& entry : systemLog->entries())
            seen.append({entry.level, entry.publicPart});
        return seen;
    }

    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
};

// What the decoder reports for `body`, which the client passes on as the detail.
template<typename R>
QString decoderSays(const QByteArray& body)
{
    try {
        APIResponseEnvelope<R>::decode(body);
    } catch (const Error& error) {
        return error.errorDescription();
    }
    return QStringLiteral("decodes");
}

TEST_F(UsageAndWalletTest, RequestsOnTheWire)
{
    struct Case {
        Op op;
        QString period;
        QString action;
        QJsonObject sent;
    };
    const std::array cases {
        Case { Op::usage, QString(), QStringLiteral("usage.me"),
            QJsonObject { { QStringLiteral("period"), QStringLiteral("week") } } },
        Case { Op::usage, QStringLiteral(" "), QStringLiteral("usage.me"),
            QJsonObject { { QStringLiteral("period"), QStringLiteral(" ") } } },
        Case { Op::plan, QString(), QStringLiteral("plan.get"), QJsonObject() },
        Case { Op::wallet, QString(), QStringLiteral("wallet.me"), QJsonObject() },
    };
    const QByteArray usage = R"({"audio_seconds":1,"output_chars":2,"sessions_count":3,"transform_count":4,)"
                             R"("period_start":"2026-03-02T00:00:00Z","period_end":"2026-03-09T00:00:00Z",)"
                             R"("period":"week"})";
    const QMap<Op, QByteArray> records{{Op::usage, usage}, {Op::plan, kPlan}, {Op::wallet, "{}"}};
    *token = QStringLiteral(" tok ");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action.toStdString());
        session = std::make_shared<ScriptedHTTPSession>();
        systemLog = std::make_shared<RecordingSystemLog>();
        // any status below 400 is read as an answer
        session->respond(c.op == Op::plan ? 304 : 200, R"({"code":0,"msg":"ok","data":)" + records[c.op] + "}");

        runBlocking(perform(c.op, c.period));

        ASSERT_EQ(session->requests().size(), 1);
        const HTTPRequest& request = session->requests().first();
        EXPECT_EQ(request.url, endpoint);
        EXPECT_EQ(request.method, QStringLiteral("POST"));
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
        EXPECT_EQ(
            request.headers.names(), (QStringList { QStringLiteral("Content-Type"), QStringLiteral("Authorization") }));
        EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer  tok "));
        EXPECT_EQ(sentEnvelope(request), envelope(c.action, c.sent));
        EXPECT_EQ(lines(),
            (Lines { { SystemLogLevel::Info, QStringLiteral("fetching ") + c.action },
                { SystemLogLevel::Info, QStringLiteral("fetch ") + c.action + QStringLiteral(" success") } }));
    }
}

TEST_F(UsageAndWalletTest, NoTokenFailsBeforeAnyRequest)
{
    for (const std::optional<QString>& missing : {std::optional<QString>(), std::optional<QString>(QString())}) {
        *token = missing;
        EXPECT_EQ(errorOf<UsageAPIError>(perform(Op::wallet)), UsageAPIError::missingToken());
    }
    EXPECT_TRUE(session->requests().isEmpty());
    EXPECT_EQ(lines(),
        (Lines { { SystemLogLevel::Info, QStringLiteral("fetching wallet.me") },
            { SystemLogLevel::Info, QStringLiteral("fetching wallet.me") } }));
}

// Each failure is logged once as a warning and, for a refusal of the
// token, reported with the token the request carried before the error.
TEST_F(UsageAndWalletTest, EveryFailureIsLoggedAndMapped)
{
    using E = UsageAPIError;
    struct Case {
        Op op;
        int status;
        QByteArray body;
        UsageAPIError expected;
        std::optional<AuthAPIError> signOut;
        QString warning; // after "fetch <action> failed: "
    };
    const QByteArray codeWithBadData = R"({"code":40101,"msg":"x","data":{"plan":5}})";
    const std::array cases {
        Case { Op::usage, 401, R"({"code":0,"msg":"ok","data":{}})", E::unauthorized(), AuthAPIError::tokenInvalid(),
            QStringLiteral("HTTP 401 unauthorized") },
        Case { Op::plan, 500, R"({"code":0,"msg":"ok"})", E::transport(QStringLiteral("HTTP 500")), std::nullopt,
            QStringLiteral("HTTP 500") },
        Case {
            Op::wallet, 400, "", E::transport(QStringLiteral("HTTP 400")), std::nullopt, QStringLiteral("HTTP 400") },
        Case { Op::wallet, notHTTP, R"({"code":0,"msg":"ok","data":{}})",
            E::transport(QStringLiteral("invalid response")), std::nullopt, QStringLiteral("invalid response") },
        Case { Op::usage, 200, R"({"code":40103,"msg":"bad"})", E::unauthorized(), AuthAPIError::tokenInvalid(),
            QStringLiteral("auth failure code 40103") },
        Case { Op::wallet, 200, R"({"code":40100,"msg":"no"})", E::unauthorized(), AuthAPIError::unauthorized(),
            QStringLiteral("auth failure code 40100") },
        Case { Op::plan, 200, R"({"code":42902,"msg":"用完了"})", E::quotaExhausted(QStringLiteral("用完了")),
            std::nullopt, QStringLiteral("quota exhausted: 用完了") },
        // the wallet knows no quota refusal
        Case { Op::wallet, 200, R"({"code":42902,"msg":"q"})", E::business(42902, QStringLiteral("q")), std::nullopt,
            QStringLiteral("business error 42902: q") },
        Case { Op::usage, 200, R"({"code":40104,"msg":"m"})", E::business(40104, QStringLiteral("m")), std::nullopt,
            QStringLiteral("business error 40104: m") },
        Case { Op::plan, 200, R"({"code":0,"msg":"ok"})", E::decodingFailed(QStringLiteral("empty data")), std::nullopt,
            QStringLiteral("empty data") },
        // decoding comes first: a bad record or a missing "msg" hides the code
        Case { Op::plan, 200, codeWithBadData, E::decodingFailed(decoderSays<PlanInfo>(codeWithBadData)), std::nullopt,
            QStringLiteral("decoding error ") + decoderSays<PlanInfo>(codeWithBadData) },
        Case { Op::wallet, 200, R"({"code":0,"data":{}})",
            E::decodingFailed(decoderSays<WalletInfo>(R"({"code":0,"data":{}})")), std::nullopt,
            QStringLiteral("decoding error ") + decoderSays<WalletInfo>(R"({"code":0,"data":{}})") },
        Case { Op::usage, 200, "<html/>", E::decodingFailed(decoderSays<UsageAggregate>("<html/>")), std::nullopt,
            QStringLiteral("decoding error ") + decoderSays<UsageAggregate>("<html/>") },
    };
    const QMap<Op, QString> actions { { Op::usage, QStringLiteral("usage.me") },
        { Op::plan, QStringLiteral("plan.get") }, { Op::wallet, QStringLiteral("wallet.me") } };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << actions[c.op].toStdString() << " " << c.status << " " << c.body.data());
        systemLog = std::make_shared<RecordingSystemLog>();
        handler = std::make_shared<RecordingUnauthorizedHandler>();
        reply(c.status, c.body);

        EXPECT_EQ(errorOf<UsageAPIError>(perform(c.op)), c.expected);

        EXPECT_EQ(handler->reasons, c.signOut ? QList<AuthAPIError>{*c.signOut} : QList<AuthAPIError>());
        EXPECT_EQ(handler->refusedTokens, c.signOut ? QStringList { QStringLiteral("tok") } : QStringList());
        const QString action = actions[c.op];
        EXPECT_EQ(lines(),
            (Lines { { SystemLogLevel::Info, QStringLiteral("fetching ") + action },
                { SystemLogLevel::Default,
                    QStringLiteral("fetch ") + action + QStringLiteral(" failed: ") + c.warning } }));
    }
}

// The cases shared with the input-source and data-sync errors are checked
// here only: the three types word them in one place.
TEST_F(UsageAndWalletTest, ErrorTexts)
{
    using E = UsageAPIError;
    const std::array<std::pair<UsageAPIError, QString>, 7> cases { {
        { E::business(kMin, QStringLiteral("满")), QStringLiteral("业务错误 -9223372036854775808：满") },
        { E::quotaExhausted(QStringLiteral("本周")), QStringLiteral("当前额度已用完：本周") },
        { E::transport(QStringLiteral("HTTP 503")), QStringLiteral("网络错误：HTTP 503") },
        { E::decodingFailed(QStringLiteral("empty data")), QStringLiteral("响应解析失败：empty data") },
        { E::missingToken(), QStringLiteral("未登录账号") },
        { E::unauthorized(), QStringLiteral("登录已过期，请重新登录") },
        { E::encodingFailed(), QStringLiteral("请求编码失败") },
    } };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(error.errorDescription(), text) << error.debugDescription().toStdString();
}

PlanInfo planFrom(const QByteArray& json)
{
    return PlanInfo::fromJson(JsonReader::parse(json).object(), {});
}

TEST_F(UsageAndWalletTest, PlanDefaultsAndUsedAmounts)
{
    const PlanInfo minimal = planFrom(kPlan);
    EXPECT_EQ(minimal, (PlanInfo { QStringLiteral("pro"), 0, 3600, 100, 0, false, 600, 40, 0, std::nullopt }));
    const PlanInfo full = planFrom(
        R"({"plan":"max","monthly_points_grant":9223372036854775807,"weekly_audio_sec_limit":1,)"
        R"("weekly_transform_limit":2,"weekly_polish_char_limit":3,"allow_slow_queue":true,"remaining_audio_sec":4,)"
        R"("remaining_transform":5,"remaining_polish_char":-9223372036854775808,"expires_at":"2026-12-31T23:59:59Z",)"
        R"("unknown":[1]})");
    EXPECT_EQ(full,
        (PlanInfo {
            QStringLiteral("max"), kMax, 1, 2, 3, true, 4, 5, kMin, *Date::fromIso8601(u"2026-12-31T23:59:59Z") }));

    struct Used {
        qint64 limit;
        qint64 remaining;
        qint64 used;
    };
    const std::array cases{
        Used{3600, 600, 3000}, Used{0, -50, 0},   Used{-10, -50, 0},          Used{1, 1, 0},
        Used{100, 200, 0},     Used{1, 0, 1},     Used{kMax, kMin + 1, kMax}, Used{1, kMin, kMax},
    };
    for (const Used& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.limit << " - " << c.remaining);
        PlanInfo plan = minimal;
        plan.weeklyAudioSecLimit = c.limit;
        plan.remainingAudioSec = c.remaining;
        plan.weeklyTransformLimit = c.limit;
        plan.remainingTransform = c.remaining;
        EXPECT_EQ(plan.usedAudioSec(), c.used);
        EXPECT_EQ(plan.usedTransform(), c.used);
    }
}

TEST_F(UsageAndWalletTest, RecordsRefuseAMissingRequiredKey)
{
    const QJsonObject usage = JsonReader::parse(R"({"audio_seconds":1,"output_chars":2,"sessions_count":3,)"
                                                R"("transform_count":4,"period_start":"2026-03-02T00:00:00Z",)"
                                                R"("period_end":"2026-03-09T00:00:00.000+08:00","period":"week"})")
                                  .object();
    EXPECT_EQ(UsageAggregate::fromJson(usage, {}),
        (UsageAggregate { 1, 2, 3, 4, 0, 0, *Date::fromIso8601(u"2026-03-02T00:00:00Z"),
            *Date::fromIso8601(u"2026-03-08T16:00:00Z"), QStringLiteral("week") }));
    for (const QString& key : usage.keys()) {
        SCOPED_TRACE(key.toStdString());
        QJsonObject without = usage;
        without.remove(key);
        EXPECT_THROW(UsageAggregate::fromJson(without, {}), JsonError);
        without.insert(key, QJsonValue::Null);
        EXPECT_THROW(UsageAggregate::fromJson(without, {}), JsonError);
    }
    for (const QJsonValue& date : { QJsonValue(1772409600), QJsonValue(QStringLiteral("2026/03/02")) }) {
        QJsonObject badDate = usage;
        badDate.insert(QStringLiteral("period_start"), date);
        EXPECT_THROW(UsageAggregate::fromJson(badDate, {}), JsonError);
    }
    const QJsonObject plan = JsonReader::parse(kPlan).object();
    for (const QString& key : plan.keys()) {
        SCOPED_TRACE(key.toStdString());
        QJsonObject without = plan;
        without.remove(key);
        EXPECT_THROW(PlanInfo::fromJson(without, {}), JsonError);
    }
}

TEST_F(UsageAndWalletTest, WalletDefaultsAndTotal)
{
    struct Case {
        const char* json;
        WalletInfo expected;
    };
    const std::array cases{
        Case{"{}", WalletInfo{0, 0, 0, std::nullopt, 1, 10}},
        Case{R"({"monthly_points":500,"permanent_points":250,"monthly_period_start":null})",
             WalletInfo{500, 250, 750, std::nullopt, 1, 10}},
        Case{R"({"monthly_points":500,"permanent_points":250,"total":700,"asr_points_per_second":3,)"
             R"("polish_points":0,"monthly_period_start":"2026-03-01T00:00:00"})",
             WalletInfo{500, 250, 700, *Date::fromIso8601(u"2026-03-01T00:00:00Z"), 3, 0}},
        Case{R"({"monthly_points":9223372036854775807,"permanent_points":1})", WalletInfo{kMax, 1, kMax, {}, 1, 10}},
        Case{R"({"monthly_points":-9223372036854775808,"permanent_points":-1})",
             WalletInfo{kMin, -1, kMin, {}, 1, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(WalletInfo::fromJson(JsonReader::parse(c.json).object(), {}), c.expected);
    }
    EXPECT_THROW(WalletInfo::fromJson(JsonReader::parse(R"({"monthly_period_start":"2026-03-01"})").object(), {}),
                 JsonError);
}

} // namespace
