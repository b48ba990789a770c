#include "Audio/AudioCaptureError.h"
#include "Dictation/ASRSessionConfig.h"
#include "Dictation/ASRStreamEvent.h"
#include "Dictation/DictationController.h"
#include "Dictation/DictationState.h"
#include "Dictation/SessionSnapshot.h"
#include "EngineTestPrinters.h"
#include "Models/VellamorServiceError.h"
#include "Models/VellamorTransportError.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace vellamor;

TEST(DictationState, ActiveAndTerminalQueries)
{
    const struct {
        DictationState state;
        bool active;
        bool terminal;
    } cases[] = {
        {DictationState::idle(), false, false},         {DictationState::recording(), true, false},
        {DictationState::transcribing(), true, false},  {DictationState::polishing(), true, false},
        {DictationState::inserting(), true, false},     {DictationState::done(), false, true},
        {DictationState::cancelled(), false, true},     {DictationState::failed(QString()), false, true},
        {DictationState::failed(QStringLiteral("x")), false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.state.isActive(), c.active) << c.state.debugDescription().toStdString();
        EXPECT_EQ(c.state.isTerminal(), c.terminal) << c.state.debugDescription().toStdString();
    }
}

TEST(DictationState, EqualityComparesTheFailureReason)
{
    EXPECT_EQ(DictationState::done(), DictationState::done());
    EXPECT_NE(DictationState::done(), DictationState::cancelled());
    EXPECT_EQ(DictationState::failed(QStringLiteral("a")), DictationState::failed(QStringLiteral("a")));
    EXPECT_NE(DictationState::failed(QStringLiteral("a")), DictationState::failed(QStringLiteral("b")));
    EXPECT_NE(DictationState::failed(QString()), DictationState::idle());
}

TEST(SessionSnapshot, IdleAndFieldwiseEquality)
{
    const SessionSnapshot built(std::nullopt, DictationState::idle(), QString(), QString(), QString(), 0, 0.0f,
                                std::nullopt);
    EXPECT_EQ(SessionSnapshot::idle(), built);

    SessionSnapshot louder = built;
    louder.rms = 0.5f;
    EXPECT_NE(SessionSnapshot::idle(), louder);

    SessionSnapshot withId = built;
    withId.sessionID = QUuid::createUuid();
    EXPECT_NE(built, withId);

    SessionSnapshot withEmptyError = built;
    withEmptyError.errorMessage = QString();
    EXPECT_NE(built, withEmptyError);
}

TEST(ASRSessionConfig, EqualityCoversAllSevenFields)
{
    const ASRSessionConfig base(QUrl(QStringLiteral("wss://h/v1/session")), QStringLiteral("zh"),
                                QStringLiteral("chat"), QStringLiteral("formal"), true, std::nullopt, std::nullopt);
    EXPECT_EQ(base, base);
    ASRSessionConfig other = base;
    other.bearerToken = QString();
    EXPECT_NE(base, other);
    other = base;
    other.polish = false;
    EXPECT_NE(base, other);
    other = base;
    other.endpoint = QUrl(QStringLiteral("wss://h/v1/session/"));
    EXPECT_NE(base, other);
}

TEST(ASRStreamEvent, EqualityAndErrorDefaults)
{
    EXPECT_EQ(ASRStreamEvent::final(QStringLiteral("a")), ASRStreamEvent::final(QStringLiteral("a")));
    EXPECT_NE(ASRStreamEvent::final(QStringLiteral("a")), ASRStreamEvent::partial(QStringLiteral("a")));
    const ASRStreamEvent bare = ASRStreamEvent::error(-1, QString());
    EXPECT_EQ(bare.data(), std::nullopt);
    EXPECT_EQ(bare, ASRStreamEvent::error(-1, QString(), std::nullopt));
    EXPECT_NE(bare, ASRStreamEvent::error(-1, QString(), QMap<QString, QString>()));
    EXPECT_NE(ASRStreamEvent::error(42902, QStringLiteral("m"), QMap<QString, QString>{{QStringLiteral("kind"), QStringLiteral("a")}}),
              ASRStreamEvent::error(42902, QStringLiteral("m"), QMap<QString, QString>{{QStringLiteral("kind"), QStringLiteral("b")}}));
}

// The session tests cover each code and capture error end to end; these are
// the remaining rules of the message table.
TEST(DictationControllerMessages, UserFacingTextForEachKindOfError)
{
    using Data = QMap<QString, QString>;
    const auto service = [](qint64 code, const char* message, std::optional<Data> data = std::nullopt) {
        return std::make_exception_ptr(VellamorServiceError(code, QString::fromUtf8(message), std::move(data)));
    };
    const struct {
        std::exception_ptr error;
        QString expected;
    } cases[] = {
        {service(42902, "q", Data{{QStringLiteral("kind"), QStringLiteral("Points_Balance")}}),
         QStringLiteral("当前积分不足，请升级或购买积分包")},
        {service(42902, "q", Data{}), QStringLiteral("当前积分不足，请升级或购买积分包")},
        {service(50023, "mail"), QStringLiteral("VellamorServiceError(code=50023, msg=mail)")},
        {std::make_exception_ptr(AudioCaptureError::formatUnsupported(QStringLiteral("48k"))),
         QStringLiteral("当前麦克风格式暂不支持")},
        {std::make_exception_ptr(VellamorTransportError::connectionClosed()), QStringLiteral("connectionClosed")},
        {std::make_exception_ptr(std::runtime_error("socket reset")), QStringLiteral("socket reset")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DictationController::userFacingMessage(c.error), c.expected) << c.expected.toStdString();
}
