#include "QtPrinters.h"

#include "Settings/AppConfig.h"

#include <gmock/gmock.h>

using namespace vellamor;

namespace {

const QString kApiPrefix
    = QStringLiteral("AppConfig.apiBaseURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：");
const QString kWsPrefix
    = QStringLiteral("AppConfig.wsBaseURL 在 Release 构建必须为 wss:// 或本机 ws://localhost；当前：");

QUrl url(const char* text)
{
    return QUrl(QString::fromUtf8(text));
}

QString text(const QUrl& u)
{
    return u.toString(QUrl::FullyEncoded);
}

// Each variable is judged on its own; nullptr stands for an unset variable.
TEST(AppConfig, EnvironmentOverridesEachVariableOnItsOwn)
{
    const char* api = "https://api.vellamor.com";
    const char* ws = "wss://api.vellamor.com";
    struct Case {
        const char* apiVariable;
        const char* wsVariable;
        const char* pairVariable;
        const char* api;
        const char* ws;
        const char* pairing;
    };
    const Case cases[] = {
        { nullptr, nullptr, nullptr, api, ws, api },
        { "http://localhost:8787", nullptr, nullptr, "http://localhost:8787", ws, api },
        // Parsed here; the release check refuses it later.
        { "http://192.168.1.5:8080", nullptr, nullptr, "http://192.168.1.5:8080", ws, api },
        { nullptr, "ws://127.0.0.1:9000/socket", nullptr, api, "ws://127.0.0.1:9000/socket", api },
        { nullptr, "WSS://Example.com/ws", nullptr, api, "wss://example.com/ws", api },
        { nullptr, nullptr, "https://pair.example.com/p?x=1", api, ws, "https://pair.example.com/p?x=1" },
        { nullptr, nullptr, "ftp://pair.example.com", api, ws, api },
        { "   ", nullptr, nullptr, api, ws, api },
        { "https://", nullptr, nullptr, api, ws, api },
        { " https://x.example.com", nullptr, nullptr, api, ws, api },
        { "localhost:8080", nullptr, nullptr, api, ws, api },
        { "ftp://x", "wss://ws.example.com", nullptr, api, "wss://ws.example.com", api },
        { "https://a.example.com/base", "ws://localhost:1", "http://localhost:2/pair", "https://a.example.com/base",
            "ws://localhost:1", "http://localhost:2/pair" },
    };
    for (const Case& c : cases) {
        QHash<QString, QString> environment;
        if (c.apiVariable)
            environment.insert(QStringLiteral("VELLAMOR_API_URL"), QString::fromUtf8(c.apiVariable));
        if (c.wsVariable)
            environment.insert(QStringLiteral("VELLAMOR_WS_URL"), QString::fromUtf8(c.wsVariable));
        if (c.pairVariable)
            environment.insert(QStringLiteral("VELLAMOR_PAIR_URL"), QString::fromUtf8(c.pairVariable));
        // The pricing page has no variable.
        environment.insert(QStringLiteral("VELLAMOR_PRICING_URL"), QStringLiteral("https://p.example.com"));
        SCOPED_TRACE(testing::Message() << (c.apiVariable ? c.apiVariable : "-") << " | "
                                        << (c.wsVariable ? c.wsVariable : "-") << " | "
                                        << (c.pairVariable ? c.pairVariable : "-"));
        const AppConfig config = AppConfig::loadFromEnvironment(environment);
        EXPECT_EQ(text(config.apiBaseURL), QString::fromUtf8(c.api));
        EXPECT_EQ(text(config.wsBaseURL), QString::fromUtf8(c.ws));
        EXPECT_EQ(text(config.pairingBaseURL), QString::fromUtf8(c.pairing));
        EXPECT_EQ(text(config.pricingURL), QStringLiteral("https://vellamor.com/pricing"));
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
}

TEST(AppConfig, ToWebSocketURL)
{
    const std::pair<const char*, const char*> cases[] = {
        { "https://h.example.com:8443/a/b?x=1&y=%20", "wss://h.example.com:8443/a/b?x=1&y=%20" },
        { "http://localhost:8080/p", "ws://localhost:8080/p" },
        { "https://h.example.com/p#frag", "wss://h.example.com/p#frag" },
        { "wss://h.example.com", "wss://h.example.com" },
        { "ftp://h.example.com/x", "ftp://h.example.com/x" },
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(text(AppConfig::toWebSocketURL(url(in))), QString::fromUtf8(out));
    }
    EXPECT_EQ(AppConfig::toWebSocketURL(QUrl()), QUrl());
}

TEST(AppConfig, ReleaseSchemeRule)
{
    const std::pair<const char*, bool> cases[] = {
        { "https://api.example.com", true },
        { "wss://api.example.com/ws", true },
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
        { "", false },
    };
    for (const auto& [address, allowed] : cases) {
        SCOPED_TRACE(address);
        EXPECT_EQ(AppConfig::isURLSchemeAllowedInRelease(url(address)), allowed);
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
        AppConfig config;
        std::optional<QString> message;
    };
    const Case cases[] = {
        { d, std::nullopt },
        { { lanApi, lanWs, d.pairingBaseURL, d.pricingURL, {} }, kApiPrefix + QStringLiteral("http://192.168.1.5:8080") },
        { { d.apiBaseURL, lanWs, plainPairing, d.pricingURL, {} }, kWsPrefix + QStringLiteral("ws://192.168.1.5:8080/ws") },
        { { d.apiBaseURL, d.wsBaseURL, plainPairing, plainPricing, {} },
            QStringLiteral("AppConfig.pairingBaseURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：")
                + QStringLiteral("http://pair.example.com") },
        { { d.apiBaseURL, d.wsBaseURL, d.pairingBaseURL, plainPricing, {} },
            QStringLiteral("AppConfig.pricingURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：")
                + QStringLiteral("http://vellamor.com/pricing") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.value_or(QStringLiteral("none")).toStdString());
        EXPECT_EQ(c.config.firstReleaseSchemeViolation(), c.message);
    }
}

TEST(AppConfigDeathTest, ReleaseCheckStopsTheProcessWithTheFirstMessageOnly)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    AppConfig::defaultConfig().assertSchemesValidForCurrentBuild();
    const AppConfig both = AppConfig::loadFromEnvironment(QHash<QString, QString> {
        { QStringLiteral("VELLAMOR_API_URL"), QStringLiteral("http://192.168.1.5:8080") },
        { QStringLiteral("VELLAMOR_WS_URL"), QStringLiteral("ws://192.168.1.5:8080") } });
    EXPECT_DEATH(both.assertSchemesValidForCurrentBuild(), "apiBaseURL .*当前：http://192\\.168\\.1\\.5:8080");
}

} // namespace
