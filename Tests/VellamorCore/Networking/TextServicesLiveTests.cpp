#include "Networking/SessionFeedbackAPI.h"
#include "Networking/TextTransformAPI.h"

#include "Models/NetworkError.h"
#include "Support/Async/RunBlocking.h"

#include "DevTextServices.h"
#include "LiveServerFixture.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"

#include <QElapsedTimer>
#include <QJsonArray>

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::DevTextServices;
using devbackend::ScriptedAnswer;
using vellamor::test::LiveServerTest;
using vellamor::test::RecordingUnauthorizedHandler;

namespace {

class TextServicesLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        services = DevTextServices::install(server);
    }

    static AccessTokenProvider provider()
    {
        return []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("access-1"); };
    }

    TextTransformAPI transformClient() { return TextTransformAPI(server.baseURL(), session, provider(), handler); }
    SessionFeedbackAPI feedbackClient() { return SessionFeedbackAPI(server.baseURL(), session, provider(), handler); }

    static TextTransformRequest transformRequest()
    {
        return TextTransformRequest{QStringLiteral("polish"), QStringLiteral("  你好   世界 \n"), QString(),
                                    TransformContext{QStringLiteral("org.kde.kate"), QStringLiteral("email"),
                                                     QStringLiteral("formal"), QStringLiteral("en")},
                                    QStringLiteral("S-42")};
    }

    static SessionFeedbackRequest feedbackRequest()
    {
        return SessionFeedbackRequest{QStringLiteral("S-42"), QStringLiteral("2"), {QStringLiteral("wrong_word")},
                                      QStringLiteral("名字错了"), QStringLiteral("张三")};
    }

    std::shared_ptr<AuthedSession> session = makeSession();
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
    std::shared_ptr<DevTextServices> services;
};

// The backend refuses a payload that lacks a field or has one of the wrong
// type, so an answer proves the request's shape.
TEST_F(TextServicesLive, BothClientsAreAnsweredByTheBackend)
{
    auto transform = transformClient();
    EXPECT_EQ(runBlocking(transform.transform(transformRequest())),
              (TextTransformResponse{QStringLiteral("你好 世界"), QStringLiteral("polish"), QStringLiteral("devserver"),
                                     11, QStringLiteral("S-42")}));

    auto feedback = feedbackClient();
    EXPECT_TRUE(runBlocking(feedback.submitFeedback(feedbackRequest())).ok);
    ASSERT_EQ(services->feedbacks().size(), 1);
    const QJsonObject received = services->feedbacks().first();
    EXPECT_EQ(received.value(QStringLiteral("issue_types")), QJsonValue(QJsonArray{QStringLiteral("wrong_word")}));
    EXPECT_EQ(received.value(QStringLiteral("expected_text")), QJsonValue(QStringLiteral("张三")));
    EXPECT_TRUE(handler->reasons.isEmpty());
}

TEST_F(TextServicesLive, FeedbackTimesOutAfterTenSecondsWithTheTransportsError)
{
    ScriptedAnswer slow;
    slow.delay = std::chrono::seconds(60); // the request's 10 s are checked where it is built
    slow.body = R"({"code":0,"msg":"ok","data":{"ok":true}})";
    server.script(slow);
    auto client = feedbackClient();
    QElapsedTimer clock;
    clock.start();
    try {
        runBlocking(client.submitFeedback(feedbackRequest()), std::chrono::seconds(30));
        ADD_FAILURE() << "no time-out";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::timedOut);
    }
    EXPECT_GE(clock.elapsed(), 9900);
}

} // namespace
