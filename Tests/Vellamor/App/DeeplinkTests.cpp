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

using namespace Qt::StringLiterals;

QString repeated(const QString& unit, qsizetype count)
{
    return unit.repeated(count);
}

// "vellamor://auth/<padding>?state=s&code=c", `bytes` long.
QString linkOfLength(const QString& scheme, qsizetype bytes)
{
    const QString head = scheme + u"://auth/"_s;
    const QString tail = u"?state=s&code=c"_s;
    return head + repeated(u"p"_s, bytes - head.size() - tail.size()) + tail;
}

std::string describe(const DeeplinkRouter::Result& result)
{
    if (const auto* intent = std::get_if<DeeplinkIntent>(&result))
        return "auth(" + intent->state.toStdString() + ", " + intent->code.toStdString() + ")";
    return rawValue(std::get<RejectReason>(result)).toStdString();
}

TEST(DeeplinkRouterTest, AcceptsOnlyTheSignInLinkWithinItsBounds)
{
    const QString state16 = repeated(u"s"_s, 16);
    const QString code40 = repeated(u"c"_s, 40);
    // Characters, not bytes: each ideograph is three bytes, nine escaped.
    const QString ideographs128 = repeated(u"%E4%BD%A0"_s, 128);
    const auto ok = [](QString state, QString code) {
        return DeeplinkRouter::Result(DeeplinkIntent::auth(state, code));
    };
    const auto no = [](RejectReason reason) { return DeeplinkRouter::Result(reason); };
    struct Case {
        QString link;
        DeeplinkRouter::Result expected;
    };
    const Case cases[] = {
        {u"vellamor://auth?state="_s + state16 + u"&code="_s + code40, ok(state16, code40)},
        {u"VELLAMOR://AUTH?code=c&state=s"_s, ok(u"s"_s, u"c"_s)},
        {u"vellamor://user@auth:99/any/path?state=s&code=c#frag"_s, ok(u"s"_s, u"c"_s)},
        {u"vellamor://auth?state=a%20b+c%26&code=%E4%BD%A0"_s, ok(u"a b+c&"_s, u"你"_s)},
        {u"https://auth?state=s&code=c"_s, no(RejectReason::wrongScheme)},
        {u"auth?state=s&code=c"_s, no(RejectReason::wrongScheme)},
        {u"vellamor://login?state=s&code=c"_s, no(RejectReason::unknownHost)},
        {u"vellamor:/auth?state=s&code=c"_s, no(RejectReason::unknownHost)},
        {u"vellamor://auth?state=s&code=c&next=x"_s, no(RejectReason::unexpectedQuery)},
        {u"vellamor://auth?State=s&code=c"_s, no(RejectReason::unexpectedQuery)},
        {u"vellamor://auth?state=s&&code=c"_s, no(RejectReason::unexpectedQuery)},
        {u"vellamor://auth?=x"_s, no(RejectReason::unexpectedQuery)},
        {u"vellamor://auth?state=s&state=t&code=c"_s, no(RejectReason::duplicateQuery)},
        {u"vellamor://auth?state=&code=c"_s, no(RejectReason::missingRequiredQuery)},
        {u"vellamor://auth?state&code=c"_s, no(RejectReason::missingRequiredQuery)},
        {u"vellamor://auth?state=s"_s, no(RejectReason::missingRequiredQuery)},
        {u"vellamor://auth"_s, no(RejectReason::missingRequiredQuery)},
        {u"vellamor://auth?code=c&state="_s + ideographs128, ok(repeated(u"你"_s, 128), u"c"_s)},
        {u"vellamor://auth?code=c&state="_s + ideographs128 + u"x"_s, no(RejectReason::payloadTooLong)},
        {u"vellamor://auth?state=s&code="_s + repeated(u"c"_s, 512), ok(u"s"_s, repeated(u"c"_s, 512))},
        {u"vellamor://auth?state=s&code="_s + repeated(u"c"_s, 513), no(RejectReason::payloadTooLong)},
        {linkOfLength(u"vellamor"_s, 2048), ok(u"s"_s, u"c"_s)},
        {linkOfLength(u"vellamor"_s, 2049), no(RejectReason::payloadTooLong)},
        {linkOfLength(u"https"_s, 2049), no(RejectReason::payloadTooLong)},
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
        {u"vellamor://auth?state=secret&code=secret"_s, u"vellamor://auth [query:2 keys, fragment: 0]"_s},
        {u"vellamor://auth/a/b?x&&y=1#secret"_s, u"vellamor://auth/a/b [query:3 keys, fragment: 1]"_s},
        {u"vellamor://auth/%0Afake%20line%5C"_s, u"vellamor://auth/\\nfake line\\\\ [query:0 keys, fragment: 0]"_s},
        {u"vellamor://auth/"_s + repeated(u"p"_s, 300), u"vellamor://auth/"_s + repeated(u"p"_s, 127)
                                                           + u" [query:0 keys, fragment: 0]"_s},
        {u"vellamor://auth/%zz"_s, u"<invalid-url>"_s},
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
    AppDelegate delegate(AppConfig::defaultConfig(), nullptr,
                         std::make_unique<SingleInstance>(folder.filePath(u"s.sock"_s)), [] {},
                         VellamorLog(u"com.vellamor.app"_s, u"app"_s, systemLog, nullptr));
    const struct {
        QByteArray link;
        QStringList lines;
    } cases[] = {
        {"vellamor://auth?state=s1&code=c1",
         {u"deeplink received: vellamor://auth [query:2 keys, fragment: 0]"_s}},
        {"vellamor://auth?state=s1&state=s2&code=c1",
         {u"deeplink received: vellamor://auth [query:3 keys, fragment: 0]"_s,
          u"deeplink rejected reason=duplicate_query"_s}},
        {"vellamor://auth?state=s1&code=c1&x=1",
         {u"deeplink received: vellamor://auth [query:3 keys, fragment: 0]"_s,
          u"deeplink rejected reason=unexpected_query"_s}},
        {"vellamor://auth?state=\xff&code=c1",
         {u"deeplink received: vellamor://auth [query:2 keys, fragment: 0]"_s,
          u"deeplink rejected reason=invalidEncoding"_s}},
        {"vellamor://auth/%zz", {u"deeplink received: <invalid-url>"_s, u"deeplink rejected reason=invalidEncoding"_s}},
        {"", {}},
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
    SingleInstance first(folder.filePath(u"s.sock"_s));
    ASSERT_FALSE(first.isAnotherInstanceRunning(QByteArray()));
    QList<QByteArray> received;
    QObject::connect(&first, &SingleInstance::messageReceived, [&](const QByteArray& m) { received.append(m); });
    const QByteArray withinBound = linkOfLength(u"vellamor"_s, SingleInstance::maxMessageBytes).toUtf8();
    for (const QByteArray& message : {QByteArray(withinBound + "&code=forged"), withinBound})
        EXPECT_TRUE(SingleInstance(first.socketPath()).isAnotherInstanceRunning(message));
    runEventLoopFor(std::chrono::milliseconds(200));
    EXPECT_EQ(received, QList<QByteArray>{withinBound});
}

} // namespace
} // namespace vellamor::test
