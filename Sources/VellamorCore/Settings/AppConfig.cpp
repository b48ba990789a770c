#include "Settings/AppConfig.h"

#include <QtGlobal>

namespace vellamor {

namespace {

QUrl compiledInURL(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        qFatal("AppConfig: compiled-in default URL does not parse: %s", qUtf8Printable(text));
    return url;
}

} // namespace

QString AppConfig::defaultAPIBaseURLText()
{
    return QStringLiteral("https://api.vellamor.com");
}

QString AppConfig::defaultWSBaseURLText()
{
    return QStringLiteral("wss://api.vellamor.com");
}

QString AppConfig::defaultPricingURLText()
{
    return QStringLiteral("https://vellamor.com/pricing");
}

const AppConfig& AppConfig::defaultConfig()
{
    static const AppConfig config {
        compiledInURL(defaultAPIBaseURLText()),
        compiledInURL(defaultWSBaseURLText()),
        compiledInURL(defaultAPIBaseURLText()),
        compiledInURL(defaultPricingURLText()),
        {},
    };
    return config;
}

std::optional<QUrl> AppConfig::parseURL(const std::optional<QString>& raw)
{
    if (!raw || raw->trimmed().isEmpty())
        return std::nullopt;
    // The untrimmed text is parsed: surrounding blanks make a strict parse fail.
    const QUrl url(*raw, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http" && scheme != u"https" && scheme != u"ws" && scheme != u"wss")
        return std::nullopt;
    if (url.host().isEmpty())
        return std::nullopt;
    return url;
}

template <typename Lookup>
AppConfig AppConfig::load(const Lookup& lookup)
{
    const AppConfig& defaults = defaultConfig();
    return AppConfig {
        parseURL(lookup(QStringLiteral("VELLAMOR_API_URL"))).value_or(defaults.apiBaseURL),
        parseURL(lookup(QStringLiteral("VELLAMOR_WS_URL"))).value_or(defaults.wsBaseURL),
        parseURL(lookup(QStringLiteral("VELLAMOR_PAIR_URL"))).value_or(defaults.pairingBaseURL),
        defaults.pricingURL,
        {},
    };
}

AppConfig AppConfig::loadFromEnvironment(const QProcessEnvironment& environment)
{
    return load([&](const QString& name) -> std::optional<QString> {
        if (!environment.contains(name))
            return std::nullopt;
        return environment.value(name);
    });
}

AppConfig AppConfig::loadFromEnvironment(const QHash<QString, QString>& environment)
{
    return load([&](const QString& name) -> std::optional<QString> {
        const auto it = environment.constFind(name);
        if (it == environment.constEnd())
            return std::nullopt;
        return *it;
    });
}

AppConfig AppConfig::loadFromProcessEnvironment()
{
    return loadFromEnvironment(QProcessEnvironment::systemEnvironment());
}

AppConfig AppConfig::derive(const QUrl& api)
{
    const AppConfig& defaults = defaultConfig();
    return AppConfig { api, toWebSocketURL(api), defaults.pairingBaseURL, defaults.pricingURL, {} };
}

QUrl AppConfig::toWebSocketURL(const QUrl& url)
{
    if (!url.isValid())
        return url;
    QUrl result = url;
    if (url.scheme() == u"http")
        result.setScheme(QStringLiteral("ws"));
    else if (url.scheme() == u"https")
        result.setScheme(QStringLiteral("wss"));
    if (!result.isValid())
        return url;
    return result;
}

bool AppConfig::isURLSchemeAllowedInRelease(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https" || scheme == u"wss")
        return true;
    if (scheme == u"http" || scheme == u"ws") {
        const QString host = url.host().toLower();
        return host == u"localhost" || host == u"127.0.0.1";
    }
    return false;
}

std::optional<QString> AppConfig::firstReleaseSchemeViolation() const
{
    const struct {
        const QUrl& url;
        QString prefix;
    } checks[] = {
        { apiBaseURL,
            QStringLiteral("AppConfig.apiBaseURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：") },
        { wsBaseURL, QStringLiteral("AppConfig.wsBaseURL 在 Release 构建必须为 wss:// 或本机 ws://localhost；当前：") },
        { pairingBaseURL,
            QStringLiteral(
                "AppConfig.pairingBaseURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：") },
        { pricingURL,
            QStringLiteral("AppConfig.pricingURL 在 Release 构建必须为 https:// 或本机 http://localhost；当前：") },
    };
    for (const auto& check : checks) {
        if (!isURLSchemeAllowedInRelease(check.url))
            return check.prefix + check.url.toString(QUrl::FullyEncoded);
    }
    return std::nullopt;
}

void AppConfig::assertSchemesValidForCurrentBuild() const
{
    if (const auto violation = firstReleaseSchemeViolation())
        qFatal("%s", qUtf8Printable(*violation));
}

} // namespace vellamor
