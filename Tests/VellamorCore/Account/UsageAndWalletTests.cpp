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
using namespace Qt::StringLiterals;
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
    const std::array cases{
        Case{Op::usage, QString(), u"usage.me"_s, QJsonObject{{u"period"_s, u"week"_s}}},
        Case{Op::usage, u" "_s, u"usage.me"_s, QJsonObject{{u"period"_s, u" "_s}}},
        Case{Op::plan, QString(), u"plan.get"_s, QJsonObject()},
        Case{Op::wallet, QString(), u"wallet.me"_s, QJsonObject()},
    };
    const QByteArray usage = R"({"audio_seconds":1,"output_chars":2,"sessions_count":3,"transform_count":4,)"
                             R"("period_start":"2026-03-02T00:00:00Z","period_end":"2026-03-09T00:00:00Z",)"
                             R"("period":"week"})";
    const QMap<Op, QByteArray> records{{Op::usage, usage}, {Op::plan, kPlan}, {Op::wallet, "{}"}};
    *token = u" tok "_s;
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
        EXPECT_EQ(request.method, u"POST"_s);
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
        EXPECT_EQ(request.headers.names(), (QStringList{u"Content-Type"_s, u"Authorization"_s}));
        EXPECT_EQ(request.headers.value(u"Authorization"_s), u"Bearer  tok "_s);
        EXPECT_EQ(sentEnvelope(request), envelope(c.action, c.sent));
        EXPECT_EQ(lines(), (Lines{{SystemLogLevel::Info, u"fetching "_s + c.action},
                                  {SystemLogLevel::Info, u"fetch "_s + c.action + u" success"_s}}));
    }
}

TEST_F(UsageAndWalletTest, NoTokenFailsBeforeAnyRequest)
{
    for (const std::optional<QString>& missing : {std::optional<QString>(), std::optional<QString>(QString())}) {
        *token = missing;
        EXPECT_EQ(errorOf<UsageAPIError>(perform(Op::wallet)), UsageAPIError::missingToken());
    }
    EXPECT_TRUE(session->requests().isEmpty());
    EXPECT_EQ(lines(), (Lines{{SystemLogLevel::Info, u"fetching wallet.me"_s},
                              {SystemLogLevel::Info, u"fetching wallet.me"_s}}));
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
    const std::array cases{
        Case{Op::usage, 401, R"({"code":0,"msg":"ok","data":{}})", E::unauthorized(), AuthAPIError::tokenInvalid(),
             u"HTTP 401 unauthorized"_s},
        Case{Op::plan, 500, R"({"code":0,"msg":"ok"})", E::transport(u"HTTP 500"_s), std::nullopt, u"HTTP 500"_s},
        Case{Op::wallet, 400, "", E::transport(u"HTTP 400"_s), std::nullopt, u"HTTP 400"_s},
        Case{Op::wallet, notHTTP, R"({"code":0,"msg":"ok","data":{}})", E::transport(u"invalid response"_s),
             std::nullopt, u"invalid response"_s},
        Case{Op::usage, 200, R"({"code":40103,"msg":"bad"})", E::unauthorized(), AuthAPIError::tokenInvalid(),
             u"auth failure code 40103"_s},
        Case{Op::wallet, 200, R"({"code":40100,"msg":"no"})", E::unauthorized(), AuthAPIError::unauthorized(),
             u"auth failure code 40100"_s},
        Case{Op::plan, 200, R"({"code":42902,"msg":"用完了"})", E::quotaExhausted(u"用完了"_s), std::nullopt,
             u"quota exhausted: 用完了"_s},
        // the wallet knows no quota refusal
        Case{Op::wallet, 200, R"({"code":42902,"msg":"q"})", E::business(42902, u"q"_s), std::nullopt,
             u"business error 42902: q"_s},
        Case{Op::usage, 200, R"({"code":40104,"msg":"m"})", E::business(40104, u"m"_s), std::nullopt,
             u"business error 40104: m"_s},
        Case{Op::plan, 200, R"({"code":0,"msg":"ok"})", E::decodingFailed(u"empty data"_s), std::nullopt,
             u"empty data"_s},
        // decoding comes first: a bad record or a missing "msg" hides the code
        Case{Op::plan, 200, codeWithBadData, E::decodingFailed(decoderSays<PlanInfo>(codeWithBadData)),
             std::nullopt, u"decoding error "_s + decoderSays<PlanInfo>(codeWithBadData)},
        Case{Op::wallet, 200, R"({"code":0,"data":{}})",
             E::decodingFailed(decoderSays<WalletInfo>(R"({"code":0,"data":{}})")), std::nullopt,
             u"decoding error "_s + decoderSays<WalletInfo>(R"({"code":0,"data":{}})")},
        Case{Op::usage, 200, "<html/>", E::decodingFailed(decoderSays<UsageAggregate>("<html/>")), std::nullopt,
             u"decoding error "_s + decoderSays<UsageAggregate>("<html/>")},
    };
    const QMap<Op, QString> actions{{Op::usage, u"usage.me"_s}, {Op::plan, u"plan.get"_s},
                                    {Op::wallet, u"wallet.me"_s}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << actions[c.op].toStdString() << " " << c.status << " " << c.body.data());
        systemLog = std::make_shared<RecordingSystemLog>();
        handler = std::make_shared<RecordingUnauthorizedHandler>();
        reply(c.status, c.body);

        EXPECT_EQ(errorOf<UsageAPIError>(perform(c.op)), c.expected);

        EXPECT_EQ(handler->reasons, c.signOut ? QList<AuthAPIError>{*c.signOut} : QList<AuthAPIError>());
        EXPECT_EQ(handler->refusedTokens, c.signOut ? QStringList{u"tok"_s} : QStringList());
        const QString action = actions[c.op];
        EXPECT_EQ(lines(), (Lines{{SystemLogLevel::Info, u"fetching "_s + action},
                                  {SystemLogLevel::Default, u"fetch "_s + action + u" failed: "_s + c.warning}}));
    }
}

// The cases shared with the input-source and data-sync errors are checked
// here only: the three types word them in one place.
TEST_F(UsageAndWalletTest, ErrorTexts)
{
    using E = UsageAPIError;
    const std::array<std::pair<UsageAPIError, QString>, 7> cases{{
        {E::business(kMin, u"满"_s), u"业务错误 -9223372036854775808：满"_s},
        {E::quotaExhausted(u"本周"_s), u"当前额度已用完：本周"_s},
        {E::transport(u"HTTP 503"_s), u"网络错误：HTTP 503"_s},
        {E::decodingFailed(u"empty data"_s), u"响应解析失败：empty data"_s},
        {E::missingToken(), u"未登录账号"_s},
        {E::unauthorized(), u"登录已过期，请重新登录"_s},
        {E::encodingFailed(), u"请求编码失败"_s},
    }};
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
    EXPECT_EQ(minimal, (PlanInfo{u"pro"_s, 0, 3600, 100, 0, false, 600, 40, 0, std::nullopt}));
    const PlanInfo full = planFrom(
        R"({"plan":"max","monthly_points_grant":9223372036854775807,"weekly_audio_sec_limit":1,)"
        R"("weekly_transform_limit":2,"weekly_polish_char_limit":3,"allow_slow_queue":true,"remaining_audio_sec":4,)"
        R"("remaining_transform":5,"remaining_polish_char":-9223372036854775808,"expires_at":"2026-12-31T23:59:59Z",)"
        R"("unknown":[1]})");
    EXPECT_EQ(full, (PlanInfo{u"max"_s, kMax, 1, 2, 3, true, 4, 5, kMin, *Date::fromIso8601(u"2026-12-31T23:59:59Z")}));

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
              (UsageAggregate{1, 2, 3, 4, 0, 0, *Date::fromIso8601(u"2026-03-02T00:00:00Z"),
                              *Date::fromIso8601(u"2026-03-08T16:00:00Z"), u"week"_s}));
    for (const QString& key : usage.keys()) {
        SCOPED_TRACE(key.toStdString());
        QJsonObject without = usage;
        without.remove(key);
        EXPECT_THROW(UsageAggregate::fromJson(without, {}), JsonError);
        without.insert(key, QJsonValue::Null);
        EXPECT_THROW(UsageAggregate::fromJson(without, {}), JsonError);
    }
    for (const QJsonValue& date : {QJsonValue(1772409600), QJsonValue(u"2026/03/02"_s)}) {
        QJsonObject badDate = usage;
        badDate.insert(u"period_start"_s, date);
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
