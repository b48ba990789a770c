#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "App/AppDelegate.h"
#include "App/DeeplinkRouter.h"
#include "App/SingleInstance.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <variant>

namespace vellamor::test {
namespace {

QString repeated(const QString& unit, qsizetype count)
{
    return unit.repeated(count);
}

// "vellamor://auth/<padding>?state=s&code=c", `bytes` long.
QString linkOfLength(const QString& scheme, qsizetype bytes)
{
    const QString head = scheme + QStringLiteral("://auth/");
    const QString tail = QStringLiteral("?state=s&code=c");
    return head + repeated(QStringLiteral("p"), bytes - head.size() - tail.size()) + tail;
}

std::string describe(const DeeplinkRouter::Result& result)
{
    if (const auto* intent = std::get_if<DeeplinkIntent>(&result))
        return "auth(" + intent->state.toStdString() + ", " + intent->code.toStdString() + ")";
    return rawValue(std::get<RejectReason>(result)).toStdString();
}

TEST(DeeplinkRouterTest, AcceptsOnlyTheSignInLinkWithinItsBounds)
{
    const QString state16 = repeated(QStringLiteral("s"), 16);
    const QString code40 = repeated(QStringLiteral("c"), 40);
    // Characters, not bytes: each ideograph is three bytes, nine escaped.
    const QString ideographs128 = repeated(QStringLiteral("%E4%BD%A0"), 128);
    const auto ok = [](QString state, QString code) {
        return DeeplinkRouter::Result(DeeplinkIntent::auth(state, code));
    };
    const auto no = [](RejectReason reason) { return DeeplinkRouter::Result(reason); };
    struct Case {
        QString link;
        DeeplinkRouter::Result expected;
    };
    const Case cases[] = {
        { QStringLiteral("vellamor://auth?state=") + state16 + QStringLiteral("&code=") + code40, ok(state16, code40) },
        { QStringLiteral("VELLAMOR://AUTH?code=c&state=s"), ok(QStringLiteral("s"), QStringLiteral("c")) },
        { QStringLiteral("vellamor://user@auth:99/any/path?state=s&code=c#frag"),
            ok(QStringLiteral("s"), QStringLiteral("c")) },
        { QStringLiteral("vellamor://auth?state=a%20b+c%26&code=%E4%BD%A0"),
            ok(QStringLiteral("a b+c&"), QStringLiteral("你")) },
        { QStringLiteral("https://auth?state=s&code=c"), no(RejectReason::wrongScheme) },
        { QStringLiteral("auth?state=s&code=c"), no(RejectReason::wrongScheme) },
        { QStringLiteral("vellamor://login?state=s&code=c"), no(RejectReason::unknownHost) },
        { QStringLiteral("vellamor:/auth?state=s&code=c"), no(RejectReason::unknownHost) },
        { QStringLiteral("vellamor://auth?state=s&code=c&next=x"), no(RejectReason::unexpectedQuery) },
        { QStringLiteral("vellamor://auth?State=s&code=c"), no(RejectReason::unexpectedQuery) },
        { QStringLiteral("vellamor://auth?state=s&&code=c"), no(RejectReason::unexpectedQuery) },
        { QStringLiteral("vellamor://auth?=x"), no(RejectReason::unexpectedQuery) },
        { QStringLiteral("vellamor://auth?state=s&state=t&code=c"), no(RejectReason::duplicateQuery) },
        { QStringLiteral("vellamor://auth?state=&code=c"), no(RejectReason::missingRequiredQuery) },
        { QStringLiteral("vellamor://auth?state&code=c"), no(RejectReason::missingRequiredQuery) },
        { QStringLiteral("vellamor://auth?state=s"), no(RejectReason::missingRequiredQuery) },
        { QStringLiteral("vellamor://auth"), no(RejectReason::missingRequiredQuery) },
        { QStringLiteral("vellamor://auth?code=c&state=") + ideographs128,
            ok(repeated(QStringLiteral("你"), 128), QStringLiteral("c")) },
        { QStringLiteral("vellamor://auth?code=c&state=") + ideographs128 + QStringLiteral("x"),
            no(RejectReason::payloadTooLong) },
        { QStringLiteral("vellamor://auth?state=s&code=") + repeated(QStringLiteral("c"), 512),
            ok(QStringLiteral("s"), repeated(QStringLiteral("c"), 512)) },
        { QStringLiteral("vellamor://auth?state=s&code=") + repeated(QStringLiteral("c"), 513),
            no(RejectReason::payloadTooLong) },
        { linkOfLength(QStringLiteral("vellamor"), 2048), ok(QStringLiteral("s"), QStringLiteral("c")) },
        { linkOfLength(QStringLiteral("vellamor"), 2049), no(RejectReason::payloadTooLong) },
        { linkOfLength(QStringLiteral("https"), 2049), no(RejectReason::payloadTooLong) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.left(80).toStdString());
        EXPECT_EQ(describe(DeeplinkRouter::route(QUrl(c.link))), describe(c.expected));
    }
}

TEST(DeeplinkRouterTest, TheLoggedFormKeepsNoQueryAndCannotForgeALine)
{
    const struct {
        QString link;
        QString logged;
    } cases[] = {
        { QStringLiteral("vellamor://auth?state=secret&code=secret"),
            QStringLiteral("vellamor://auth [query:2 keys, fragment: 0]") },
        { QStringLiteral("vellamor://auth/a/b?x&&y=1#secret"),
            QStringLiteral("vellamor://auth/a/b [query:3 keys, fragment: 1]") },
        { QStringLiteral("vellamor://auth/%0Afake%20line%5C"),
            QStringLiteral("vellamor://auth/\\nfake line\\\\ [query:0 keys, fragment: 0]") },
        { QStringLiteral("vellamor://auth/") + repeated(QStringLiteral("p"), 300),
            QStringLiteral("vellamor://auth/") + repeated(QStringLiteral("p"), 127)
                + QStringLiteral(" [query:0 keys, fragment: 0]") },
        { QStringLiteral("vellamor://auth/%zz"), QStringLiteral("<invalid-url>") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link.left(60).toStdString());
        EXPECT_EQ(AppDelegate::redactDeeplink(c.link), c.logged);
    }
}

// What the running instance logs for each link handed to it.
TEST(DeeplinkRouterTest, EachLinkIsLoggedRedactedAndARejectionByItsLogName)
{
    QTemporaryDir folder;
    auto systemLog = std::make_shared<RecordingSystemLog>();
    AppDelegate delegate(
        AppConfig::defaultConfig(), nullptr,
        std::make_unique<SingleInstance>(folder.filePath(QStringLiteral("s.sock"))), [] {},
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("app"), systemLog, nullptr));
    const struct {
        QByteArray link;
        QStringList lines;
    } cases[] = {
        { "vellamor://auth?state=s1&code=c1",
            { QStringLiteral("deeplink received: vellamor://auth [query:2 keys, fragment: 0]") } },
        { "vellamor://auth?state=s1&state=s2&code=c1",
            { QStringLiteral("deeplink received: vellamor://auth [query:3 keys, fragment: 0]"),
                QStringLiteral("deeplink rejected reason=duplicate_query") } },
        { "vellamor://auth?state=s1&code=c1&x=1",
            { QStringLiteral("deeplink received: vellamor://auth [query:3 keys, fragment: 0]"),
                QStringLiteral("deeplink rejected reason=unexpected_query") } },
        { "vellamor://auth?state=\xff&code=c1",
            { QStringLiteral("deeplink received: vellamor://auth [query:2 keys, fragment: 0]"),
                QStringLiteral("deeplink rejected reason=invalidEncoding") } },
        { "vellamor://auth/%zz",
            { QStringLiteral("deeplink received: <invalid-url>"),
                QStringLiteral("deeplink rejected reason=invalidEncoding") } },
        { "", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        const qsizetype before = systemLog->entries().size();
        delegate.handleGetURL(c.link);
        QStringList lines;
        for (const auto& entry : systemLog->entries().mid(before))
            lines.append(entry.publicPart);
        EXPECT_EQ(lines, c.lines);
    }
}

// Over the bound a message is dropped whole: a cut link could still parse.
TEST(SingleInstanceTest, PassesOnMessagesWithinTheBoundAndDropsLongerOnesWhole)
{
    QTemporaryDir folder;
    SingleInstance first(folder.filePath(QStringLiteral("s.sock")));
    ASSERT_FALSE(first.isAnotherInstanceRunning(QByteArray()));
    QList<QByteArray> received;
    QObject::connect(&first, &SingleInstance::messageReceived, [&](const QByteArray& m) { received.append(m); });
    const QByteArray withinBound = linkOfLength(QStringLiteral("vellamor"), SingleInstance::maxMessageBytes).toUtf8();
    for (const QByteArray& message : {QByteArray(withinBound + "&code=forged"), withinBound})
        EXPECT_TRUE(SingleInstance(first.socketPath()).isAnotherInstanceRunning(message));
    // The longer one is never sent: one connection brings all there is.
    ASSERT_TRUE(waitUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QList<QByteArray>{withinBound});
}

} // namespace
} // namespace vellamor::test
