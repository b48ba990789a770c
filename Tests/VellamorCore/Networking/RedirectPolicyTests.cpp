#include "Networking/AuthedSession.h"
#include "Networking/AuthedURLSessionDelegate.h"

#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vellamor;
using vellamor::test::RecordingSystemLog;

namespace {

QUrl url(const char* text)
{
    return QUrl(QString::fromUtf8(text));
}

struct OriginCase {
    const char* url;
    const char* key; // nullptr: no key
};

void PrintTo(const OriginCase& c, std::ostream* os)
{
    *os << '"' << c.url << '"';
}

class OriginKeys : public ::testing::TestWithParam<OriginCase> {};

TEST_P(OriginKeys, Compute)
{
    const auto key = AuthedURLSessionDelegate::originKey(url(GetParam().url));
    if (GetParam().key)
        EXPECT_EQ(key, std::optional<QString>(QString::fromUtf8(GetParam().key)));
    else
        EXPECT_FALSE(key.has_value()) << key.value_or(QString()).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Urls, OriginKeys,
    ::testing::Values(OriginCase{"https://h/a", "https://h:443"}, OriginCase{"https://h:443/b", "https://h:443"},
                      OriginCase{"HTTPS://H/x", "https://h:443"}, OriginCase{"http://h", "http://h:80"},
                      OriginCase{"http://h:8080/a", "http://h:8080"}, OriginCase{"https://h:80", "https://h:80"},
                      OriginCase{"ftp://h/x", nullptr}, OriginCase{"ftp://h:21/x", "ftp://h:21"},
                      OriginCase{"foo:bar", nullptr}, OriginCase{"https:///x", nullptr},
                      OriginCase{"/relative", nullptr}, OriginCase{"", nullptr},
                      OriginCase{"https://user:pw@h/x", "https://h:443"}));

struct FollowCase {
    const char* from;
    const char* to;
    bool follow;
};

void PrintTo(const FollowCase& c, std::ostream* os)
{
    *os << '"' << c.from << "\" to \"" << c.to << '"';
}

class FollowRule : public ::testing::TestWithParam<FollowCase> {};

TEST_P(FollowRule, FollowsOnlyTheSameOrigin)
{
    const FollowCase& c = GetParam();
    EXPECT_EQ(AuthedURLSessionDelegate::isSameOrigin(url(c.from), url(c.to)), c.follow) << c.from << " -> " << c.to;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, FollowRule,
    ::testing::Values(FollowCase{"https://h/a", "https://h:443/b", true},
                      FollowCase{"https://h", "https://g", false},
                      // a downgrade is a different origin: bodies would travel in clear text
                      FollowCase{"https://h:8443", "http://h:8080", false},
                      FollowCase{"https://h/a", "http://h/a", false},
                      FollowCase{"https://h:443/a", "http://h:443/a", false},
                      FollowCase{"http://h", "https://h", false},
                      FollowCase{"http://h:8080/a", "http://h:8080/b", true},
                      FollowCase{"http://h:8080", "http://h", false}, FollowCase{"HTTPS://H", "https://h", true},
                      FollowCase{"https://h", "foo:bar", false}, FollowCase{"https://h", "ftp://h/x", false},
                      FollowCase{"https://h", "", false}, FollowCase{"", "https://h", false},
                      FollowCase{"custom://h:9/a", "custom://h:9/b", true}));

HTTPRequest requestWithAllKindsOfHeaders(const QUrl& target)
{
    HTTPRequest request;
    request.url = target;
    request.method = QStringLiteral("POST");
    request.body = QByteArray(R"({"action":"echo","data":{}})");
    request.timeout = std::chrono::seconds(12);
    for (const char* name : {"Authorization", "AUTHORIZATION-X", "Cookie", "X-Vellamor-Device", "x-vellamor-trace",
                             "X-VELLAMOR-SESSION", "Content-Type", "Accept", "X-Admin-Token", "X-Vellamorish",
                             "X-Vellamor", "Cookie2"})
        request.headers.set(QString::fromLatin1(name), QStringLiteral("v"));
    return request;
}

TEST(RedirectEvaluate, StripsCredentialsOnASameOriginHop)
{
    const HTTPRequest newRequest = requestWithAllKindsOfHeaders(url("https://h:443/b"));
    const auto follow =
        AuthedURLSessionDelegate::evaluate(HTTPResponse::http(url("https://h/a"), 302), url("https://h/a"), newRequest);
    ASSERT_TRUE(follow);
    EXPECT_EQ(follow->headers.names(),
              (QStringList{QStringLiteral("AUTHORIZATION-X"), QStringLiteral("Content-Type"), QStringLiteral("Accept"),
                           QStringLiteral("X-Admin-Token"), QStringLiteral("X-Vellamorish"),
                           QStringLiteral("X-Vellamor"), QStringLiteral("Cookie2")}));
    EXPECT_EQ(follow->url, newRequest.url);
    EXPECT_EQ(follow->method, newRequest.method);
    EXPECT_EQ(follow->body, newRequest.body);
    EXPECT_EQ(follow->timeout, newRequest.timeout);
}

TEST(RedirectEvaluate, RefusesAForeignTarget)
{
    EXPECT_FALSE(AuthedURLSessionDelegate::evaluate(HTTPResponse::http(url("https://h/a"), 302), url("https://h/a"),
                                                    requestWithAllKindsOfHeaders(url("https://g/a"))));
}

TEST(RedirectEvaluate, JudgesAResponseWithoutURLAgainstTheOrigin)
{
    const HTTPResponse noURL = HTTPResponse::http(QUrl(), 307);
    EXPECT_TRUE(AuthedURLSessionDelegate::evaluate(noURL, url("https://h/a"), requestWithAllKindsOfHeaders(url("https://h/b"))));
    EXPECT_FALSE(AuthedURLSessionDelegate::evaluate(noURL, url("https://g/a"), requestWithAllKindsOfHeaders(url("https://h/b"))));
    EXPECT_FALSE(AuthedURLSessionDelegate::evaluate(noURL, QUrl(), requestWithAllKindsOfHeaders(url("https://h/b"))));
}

class RedirectHook : public ::testing::Test {
protected:
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    AuthedURLSessionDelegate delegate{VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("authed-redirect"),
                                                  systemLog, nullptr)};

    QStringList warnings() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries()) {
            EXPECT_EQ(entry.level, SystemLogLevel::Default);
            EXPECT_EQ(entry.category, QStringLiteral("authed-redirect"));
            EXPECT_EQ(entry.subsystem, QStringLiteral("com.vellamor.app"));
            lines.append(entry.publicPart);
        }
        return lines;
    }
};

TEST_F(RedirectHook, FollowedHopLogsNothing)
{
    const auto follow = delegate.willPerformHTTPRedirection(HTTPResponse::http(url("http://h:8080/a"), 302),
                                                            url("http://h:8080/a"),
                                                            requestWithAllKindsOfHeaders(url("http://h:8080/b")));
    ASSERT_TRUE(follow);
    EXPECT_FALSE(follow->headers.contains(QStringLiteral("authorization")));
    EXPECT_TRUE(warnings().isEmpty());
}

struct RefusalCase {
    const char* name;
    const char* responseURL;
    const char* originalURL;
    const char* target;
    std::optional<const char*> fromSpelling;
    std::optional<const char*> toSpelling;
    const char* expectedLine;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class RedirectRefusal : public RedirectHook, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RedirectRefusal, LogsOneLineWithHostTags)
{
    const RefusalCase& c = GetParam();
    const auto toText = [](std::optional<const char*> text) {
        return text ? std::optional<QString>(QString::fromUtf8(*text)) : std::nullopt;
    };
    const auto follow = delegate.willPerformHTTPRedirection(HTTPResponse::http(url(c.responseURL), 302),
                                                            url(c.originalURL), requestWithAllKindsOfHeaders(url(c.target)),
                                                            toText(c.fromSpelling), toText(c.toSpelling));
    EXPECT_FALSE(follow);
    EXPECT_EQ(warnings(), QStringList{QString::fromUtf8(c.expectedLine)});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RedirectRefusal,
    ::testing::Values(
        RefusalCase{"crossHost", "https://h/a", "https://h/a", "https://g/a", {}, {},
                    "redirect blocked: from=host_aaa940 to=host_cd0aa9"},
        RefusalCase{"downgrade", "https://h/a", "https://h/a", "http://h/a", {}, {},
                    "redirect blocked: from=host_aaa940 to=host_aaa940"},
        RefusalCase{"upgrade", "http://h/a", "http://h/a", "https://h/a", {}, {},
                    "redirect blocked: from=host_aaa940 to=host_aaa940"},
        // tags hash the host as spelled, so H and h differ
        RefusalCase{"spelledHosts", "https://h/a", "https://h/a", "https://g/a", "H", "g",
                    "redirect blocked: from=host_44bd7a to=host_cd0aa9"},
        RefusalCase{"noHost", "https://h/a", "https://h/a", "foo:bar", {}, {},
                    "redirect blocked: from=host_aaa940 to=host_empty"},
        RefusalCase{"loopbackNames", "http://127.0.0.1:8080/a", "http://127.0.0.1:8080/a", "http://localhost:8080/a",
                    {}, {}, "redirect blocked: from=host_12ca17 to=host_49960d"},
        // a response without URL is judged and tagged by the original request
        RefusalCase{"responseWithoutURL", "", "https://g/a", "https://h/a", {}, {},
                    "redirect blocked: from=host_cd0aa9 to=host_aaa940"},
        RefusalCase{"nothingKnown", "", "", "https://h/a", {}, {},
                    "redirect blocked: from=host_empty to=host_aaa940"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostTag, HashesUtf8AsSpelled)
{
    EXPECT_EQ(AuthedURLSessionDelegate::hostTag(QStringLiteral("Api.Example.COM")), QStringLiteral("host_77c77b"));
    EXPECT_EQ(AuthedURLSessionDelegate::hostTag(QStringLiteral("api.example.com")), QStringLiteral("host_d0c43d"));
    EXPECT_EQ(AuthedURLSessionDelegate::hostTag(QStringLiteral("例子.测试")), QStringLiteral("host_a59e7f"));
    EXPECT_EQ(AuthedURLSessionDelegate::hostTag(QString()), QStringLiteral("host_empty"));
}

struct SpellingCase {
    const char* location;
    const char* expected;
};

void PrintTo(const SpellingCase& c, std::ostream* os)
{
    *os << '"' << c.location << '"';
}

class LocationHostSpelling : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(LocationHostSpelling, KeepsTheLettersAsWritten)
{
    EXPECT_EQ(AuthedSession::hostSpelling(QString::fromUtf8(GetParam().location), QStringLiteral("Current")),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Locations, LocationHostSpelling,
    ::testing::Values(SpellingCase{"https://Api.Example.COM/v1", "Api.Example.COM"},
                      SpellingCase{"HTTP://H:8080", "H"}, SpellingCase{"//Other.Host/x?y", "Other.Host"},
                      SpellingCase{"https://User:Pw@Host.Name:1/x", "Host.Name"},
                      SpellingCase{"http://[::1]:80/x", "::1"}, SpellingCase{"/v1/api.json", "Current"},
                      SpellingCase{"next?x=1", "Current"}, SpellingCase{"mailto:someone", ""},
                      SpellingCase{"https://h#frag", "h"}, SpellingCase{"  https://Spaced/x  ", "Spaced"}));

} // namespace
