#include "QtPrinters.h"

#include "Settings/AppConfig.h"

#include <QRegularExpression>

#include <gmock/gmock.h>

using namespace vellamor;

namespace {

const QString kApiPrefix
    = QStringLiteral("AppConfig.apiBaseURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：");
const QString kWsPrefix
    = QStringLiteral("AppConfig.wsBaseURL 在 Release 构建必须为 wss:// 或本机 ws://localhost；当前：");
const QString kPairingPrefix
    = QStringLiteral("AppConfig.pairingBaseURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：");
const QString kPricingPrefix
    = QStringLiteral("AppConfig.pricingURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：");

QUrl url(const char* text)
{
    return QUrl(QString::fromUtf8(text));
}

QString text(const QUrl& u)
{
    return u.toString(QUrl::FullyEncoded);
}

// A POSIX extended regular expression matching `literal` exactly.
std::string literalPattern(const QString& literal)
{
    std::string out;
    for (const char c : literal.toStdString()) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos)
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

TEST(AppConfig, DefaultsAreSecureAndShared)
{
    const AppConfig& d = AppConfig::defaultConfig();
    EXPECT_EQ(text(d.apiBaseURL), QStringLiteral("https://api.vellamor.com"));
    EXPECT_EQ(text(d.wsBaseURL), QStringLiteral("wss://api.vellamor.com"));
    EXPECT_EQ(d.pairingBaseURL, d.apiBaseURL);
    EXPECT_EQ(text(d.pricingURL), QStringLiteral("https://vellamor.com/pricing"));
    EXPECT_TRUE(d.overrideKeys.isEmpty());
    EXPECT_FALSE(d.firstReleaseSchemeViolation());
    EXPECT_EQ(&AppConfig::defaultConfig(), &d);
    EXPECT_EQ(text(d.apiBaseURL), AppConfig::defaultAPIBaseURLText());
}

TEST(AppConfig, EnvironmentOverridesEachVariableOnItsOwn)
{
    const char* api = "https://api.vellamor.com";
    const char* ws = "wss://api.vellamor.com";
    struct Case {
        const char* name;
        QHash<QString, QString> env;
        const char* api;
        const char* ws;
        const char* pairing;
    };
    const auto env = [](std::initializer_list<std::pair<const char*, const char*>> pairs) {
        QHash<QString, QString> out;
        for (const auto& [k, v] : pairs)
            out.insert(QString::fromUtf8(k), QString::fromUtf8(v));
        return out;
    };
    const Case cases[] = {
        { "nothing set", {}, api, ws, api },
        { "local http api with port", env({ { "VELLAMOR_API_URL", "http://localhost:8787" } }), "http://localhost:8787",
            ws, api },
        { "LAN api parses (the release check refuses it later)",
            env({ { "VELLAMOR_API_URL", "http://192.168.1.5:8080" } }), "http://192.168.1.5:8080", ws, api },
        { "local ws", env({ { "VELLAMOR_WS_URL", "ws://127.0.0.1:9000/socket" } }), api,
            "ws://127.0.0.1:9000/socket", api },
        { "capital scheme", env({ { "VELLAMOR_WS_URL", "WSS://Example.com/ws" } }), api, "wss://example.com/ws", api },
        { "pairing with ftp is ignored", env({ { "VELLAMOR_PAIR_URL", "ftp://pair.example.com" } }), api, ws, api },
        { "pairing override", env({ { "VELLAMOR_PAIR_URL", "https://pair.example.com/p?x=1" } }), api, ws,
            "https://pair.example.com/p?x=1" },
        { "blank value", env({ { "VELLAMOR_API_URL", "   " } }), api, ws, api },
        { "empty value", env({ { "VELLAMOR_API_URL", "" } }), api, ws, api },
        { "scheme without host", env({ { "VELLAMOR_API_URL", "https://" } }), api, ws, api },
        { "host-less scheme-only", env({ { "VELLAMOR_API_URL", "http:" } }), api, ws, api },
        { "leading blank is not trimmed away", env({ { "VELLAMOR_API_URL", " https://x.example.com" } }), api, ws,
            api },
        { "trailing blank is not trimmed away", env({ { "VELLAMOR_API_URL", "https://x.example.com " } }), api, ws,
            api },
        { "no scheme", env({ { "VELLAMOR_API_URL", "api.example.com" } }), api, ws, api },
        { "host:port reads as a scheme", env({ { "VELLAMOR_API_URL", "localhost:8080" } }), api, ws, api },
        { "not a URL", env({ { "VELLAMOR_API_URL", "http://exa mple.com" } }), api, ws, api },
        { "api override does not move ws or pairing", env({ { "VELLAMOR_API_URL", "https://staging.example.com" } }),
            "https://staging.example.com", ws, api },
        { "bad api does not affect a good ws",
            env({ { "VELLAMOR_API_URL", "ftp://x" }, { "VELLAMOR_WS_URL", "wss://ws.example.com" } }), api,
            "wss://ws.example.com", api },
        { "all three",
            env({ { "VELLAMOR_API_URL", "https://a.example.com/base" }, { "VELLAMOR_WS_URL", "ws://localhost:1" },
                { "VELLAMOR_PAIR_URL", "http://localhost:2/pair" } }),
            "https://a.example.com/base", "ws://localhost:1", "http://localhost:2/pair" },
        { "a pricing variable does not exist", env({ { "VELLAMOR_PRICING_URL", "https://p.example.com" } }), api, ws,
            api },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AppConfig config = AppConfig::loadFromEnvironment(c.env);
        EXPECT_EQ(text(config.apiBaseURL), QString::fromUtf8(c.api));
        EXPECT_EQ(text(config.wsBaseURL), QString::fromUtf8(c.ws));
        EXPECT_EQ(text(config.pairingBaseURL), QString::fromUtf8(c.pairing));
        EXPECT_EQ(config.pricingURL, AppConfig::defaultConfig().pricingURL);
        EXPECT_TRUE(config.overrideKeys.isEmpty());
    }
}

TEST(AppConfig, ProcessEnvironmentOverloadMatchesTheMap)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("VELLAMOR_API_URL"), QStringLiteral("http://localhost:8787/"));
    environment.insert(QStringLiteral("VELLAMOR_WS_URL"), QString());
    const AppConfig config = AppConfig::loadFromEnvironment(environment);
    EXPECT_EQ(text(config.apiBaseURL), QStringLiteral("http://localhost:8787/"));
    EXPECT_EQ(config.wsBaseURL, AppConfig::defaultConfig().wsBaseURL);
    EXPECT_EQ(config,
        AppConfig::loadFromEnvironment(QHash<QString, QString> {
            { QStringLiteral("VELLAMOR_API_URL"), QStringLiteral("http://localhost:8787/") } }));
}

TEST(AppConfig, ToWebSocketURL)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        { "https://h.example.com:8443/a/b?x=1&y=%20", "wss://h.example.com:8443/a/b?x=1&y=%20" },
        { "http://localhost:8080/p", "ws://localhost:8080/p" },
        { "ftp://h.example.com/x", "ftp://h.example.com/x" },
        { "wss://h.example.com", "wss://h.example.com" },
        { "ws://h.example.com", "ws://h.example.com" },
        { "httpx://h.example.com", "httpx://h.example.com" },
        { "https://h.example.com/p#frag", "wss://h.example.com/p#frag" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(text(AppConfig::toWebSocketURL(url(c.in))), QString::fromUtf8(c.out));
    }
    EXPECT_EQ(AppConfig::toWebSocketURL(QUrl()), QUrl());

    const AppConfig derived = AppConfig::derive(url("https://api.example.com/base"));
    EXPECT_EQ(text(derived.apiBaseURL), QStringLiteral("https://api.example.com/base"));
    EXPECT_EQ(text(derived.wsBaseURL), QStringLiteral("wss://api.example.com/base"));
    EXPECT_EQ(derived.pairingBaseURL, AppConfig::defaultConfig().pairingBaseURL);
    EXPECT_EQ(derived.pricingURL, AppConfig::defaultConfig().pricingURL);
    EXPECT_TRUE(derived.overrideKeys.isEmpty());
}

TEST(AppConfig, ReleaseSchemeRule)
{
    struct Case {
        const char* url;
        bool allowed;
    };
    const Case cases[] = {
        { "https://api.example.com", true },
        { "wss://api.example.com/ws", true },
        { "http://localhost", true },
        { "http://localhost:8080/path", true },
        { "ws://127.0.0.1:9000", true },
        { "HTTP://LOCALHOST:1", true },
        { "http://192.168.1.5:8080", false },
        { "ws://api.example.com", false },
        { "http://127.0.0.2", false },
        { "http://[::1]:8080", false },
        { "http://localhost.example.com", false },
        { "ftp://localhost", false },
        { "file:///tmp/x", false },
        { "http:", false },
        { "", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(AppConfig::isURLSchemeAllowedInRelease(url(c.url)), c.allowed);
    }
}

TEST(AppConfig, OnlyTheFirstOffenderIsReported)
{
    const AppConfig& d = AppConfig::defaultConfig();
    const QUrl lanApi = url("http://192.168.1.5:8080");
    const QUrl lanWs = url("ws://192.168.1.5:8080/ws");
    const QUrl plainPairing = url("http://pair.example.com");
    const QUrl plainPricing = url("http://vellamor.com/pricing");
    struct Case {
        const char* name;
        AppConfig config;
        std::optional<QString> message;
    };
    const Case cases[] = {
        { "all secure", d, std::nullopt },
        { "api and ws", { lanApi, lanWs, d.pairingBaseURL, d.pricingURL, {} },
            kApiPrefix + QStringLiteral("http://192.168.1.5:8080") },
        { "ws only", { d.apiBaseURL, lanWs, d.pairingBaseURL, d.pricingURL, {} },
            kWsPrefix + QStringLiteral("ws://192.168.1.5:8080/ws") },
        { "ws and pairing", { d.apiBaseURL, lanWs, plainPairing, d.pricingURL, {} },
            kWsPrefix + QStringLiteral("ws://192.168.1.5:8080/ws") },
        { "pairing only", { d.apiBaseURL, d.wsBaseURL, plainPairing, d.pricingURL, {} },
            kPairingPrefix + QStringLiteral("http://pair.example.com") },
        { "pricing only", { d.apiBaseURL, d.wsBaseURL, d.pairingBaseURL, plainPricing, {} },
            kPricingPrefix + QStringLiteral("http://vellamor.com/pricing") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.config.firstReleaseSchemeViolation(), c.message);
    }
}

TEST(AppConfigDeathTest, ReleaseCheckStopsTheProcessWithTheFirstMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const AppConfig both = AppConfig::loadFromEnvironment(QHash<QString, QString> {
        { QStringLiteral("VELLAMOR_API_URL"), QStringLiteral("http://192.168.1.5:8080") },
        { QStringLiteral("VELLAMOR_WS_URL"), QStringLiteral("ws://192.168.1.5:8080") } });
    EXPECT_DEATH(both.assertSchemesValidForCurrentBuild(),
        literalPattern(kApiPrefix + QStringLiteral("http://192.168.1.5:8080")));

    const AppConfig wsOnly = AppConfig::loadFromEnvironment(QHash<QString, QString> {
        { QStringLiteral("VELLAMOR_WS_URL"), QStringLiteral("ws://10.0.0.2:9000/x") } });
    EXPECT_DEATH(wsOnly.assertSchemesValidForCurrentBuild(),
        literalPattern(kWsPrefix + QStringLiteral("ws://10.0.0.2:9000/x")));
}

TEST(AppConfig, ReleaseCheckReturnsForAllowedURLs)
{
    const AppConfig local = AppConfig::loadFromEnvironment(QHash<QString, QString> {
        { QStringLiteral("VELLAMOR_API_URL"), QStringLiteral("http://localhost:8787") },
        { QStringLiteral("VELLAMOR_WS_URL"), QStringLiteral("WS://127.0.0.1:8787") },
        { QStringLiteral("VELLAMOR_PAIR_URL"), QStringLiteral("http://localhost:8787/pair") } });
    local.assertSchemesValidForCurrentBuild();
    AppConfig::defaultConfig().assertSchemesValidForCurrentBuild();
    SUCCEED();
}
