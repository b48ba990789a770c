#include "Networking/AuthedSession.h"
#include "Networking/AuthedURLSessionDelegate.h"

#include "QtPrinters.h"
#include "RecordingSystemLog.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

using namespace vellamor;
using vellamor::test::RecordingSystemLog;

namespace {

QUrl url(const char* text)
{
    return QUrl(QString::fromUtf8(text));
}

TEST(RedirectPolicy, FollowsOnlyTheSameOrigin)
{
    struct Case {
        const char* from;
        const char* to;
        bool follow;
    };
    const std::array cases{
        Case{"https://h/a", "https://h:443/b", true},
        Case{"http://h", "http://h:80/x", true},
        Case{"HTTPS://H", "https://h", true},
        Case{"https://user:pw@h/x", "https://h/y", true},
        Case{"https://h:80/a", "https://h:80/b", true},
        Case{"ftp://h:21/x", "ftp://h:21/y", true},
        Case{"custom://h:9/a", "custom://h:9/b", true},
        Case{"https://h", "https://g", false},
        // a downgrade is a different origin: bodies would travel in clear text
        Case{"https://h:8443", "http://h:8080", false},
        Case{"https://h:8443/a", "http://h:8443/a", false},
        Case{"https://h/a", "http://h/a", false},
        Case{"http://h", "https://h", false},
        Case{"http://h:8080", "http://h", false},
        Case{"https://h:80", "https://h", false},
        // without a default port, another scheme has no origin to compare
        Case{"ftp://h/x", "ftp://h/x", false},
        Case{"foo:bar", "foo:bar", false},
        Case{"https:///x", "https:///x", false},
        Case{"/relative", "/relative", false},
        Case{"https://h", "", false},
        Case{"", "https://h", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to);
        EXPECT_EQ(AuthedURLSessionDelegate::isSameOrigin(url(c.from), url(c.to)), c.follow);
    }
}

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

TEST(RedirectPolicy, StripsCredentialsOnASameOriginHop)
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

// Hosts appear only as tags, so a log never shows where a redirect pointed.
TEST(RedirectPolicy, RefusalLogsOneLineWithHostTags)
{
    struct Case {
        const char* name;
        const char* responseURL;
        const char* originalURL;
        const char* target;
        std::optional<QString> fromSpelling;
        std::optional<QString> toSpelling;
        const char* line;
    };
    const std::array cases{
        Case{"crossHost", "https://h/a", "https://h/a", "https://g/a", {}, {},
             "redirect blocked: from=host_aaa940 to=host_cd0aa9"},
        Case{"downgrade", "https://h/a", "https://h/a", "http://h/a", {}, {},
             "redirect blocked: from=host_aaa940 to=host_aaa940"},
        // tags hash the host as spelled, so H and h differ
        Case{"spelledHosts", "https://h/a", "https://h/a", "https://g/a", QStringLiteral("H"), QStringLiteral("g"),
             "redirect blocked: from=host_44bd7a to=host_cd0aa9"},
        Case{"utf8Host", "https://h/a", "https://h/a", "https://g/a", {}, QStringLiteral("例子.测试"),
             "redirect blocked: from=host_aaa940 to=host_a59e7f"},
        Case{"noHost", "https://h/a", "https://h/a", "foo:bar", {}, {},
             "redirect blocked: from=host_aaa940 to=host_empty"},
        // a response without URL is judged and tagged by the original request
        Case{"responseWithoutURL", "", "https://g/a", "https://h/a", {}, {},
             "redirect blocked: from=host_cd0aa9 to=host_aaa940"},
        Case{"nothingKnown", "", "", "https://h/a", {}, {}, "redirect blocked: from=host_empty to=host_aaa940"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto systemLog = std::make_shared<RecordingSystemLog>();
        const AuthedURLSessionDelegate delegate(
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("authed-redirect"), systemLog, nullptr));
        const auto follow =
            delegate.willPerformHTTPRedirection(HTTPResponse::http(url(c.responseURL), 302), url(c.originalURL),
                                                requestWithAllKindsOfHeaders(url(c.target)), c.fromSpelling,
                                                c.toSpelling);
        EXPECT_FALSE(follow);
        ASSERT_EQ(systemLog->entries().size(), 1);
        EXPECT_EQ(systemLog->entries()[0].publicPart, QString::fromUtf8(c.line));
        EXPECT_EQ(systemLog->entries()[0].level, SystemLogLevel::Default);
    }
}

TEST(RedirectPolicy, LocationHostIsKeptAsWritten)
{
    struct Case {
        const char* location;
        const char* host;
    };
    const std::array cases{
        Case{"https://Api.Example.COM/v1", "Api.Example.COM"},
        Case{"HTTP://H:8080", "H"},
        Case{"//Other.Host/x?y", "Other.Host"},
        Case{"https://User:Pw@Host.Name:1/x", "Host.Name"},
        Case{"http://[::1]:80/x", "::1"},
        Case{"/v1/api.json", "Current"},
        Case{"next?x=1", "Current"},
        Case{"mailto:someone", ""},
        Case{"https://h#frag", "h"},
        Case{"  https://Spaced/x  ", "Spaced"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(AuthedSession::hostSpelling(QString::fromUtf8(c.location), QStringLiteral("Current")),
                  QString::fromUtf8(c.host));
    }
}

} // namespace
