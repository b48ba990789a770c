#pragma once

#include <QHash>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace vellamor {

// The backend base URLs: compiled-in defaults, overridable per variable from
// the environment (VELLAMOR_API_URL, VELLAMOR_WS_URL, VELLAMOR_PAIR_URL; the
// pricing page has none). The process entry loads and checks them before
// anything else runs; components that need a base URL later load them from the
// environment again the same way.
struct AppConfig {
    QUrl apiBaseURL;
    QUrl wsBaseURL;
    QUrl pairingBaseURL;
    QUrl pricingURL;
    QStringList overrideKeys; // empty in every value the system builds

    static QString defaultAPIBaseURLText();  // "https://api.vellamor.com"
    static QString defaultWSBaseURLText();   // "wss://api.vellamor.com"
    static QString defaultPricingURLText();  // "https://vellamor.com/pricing"

    // Built once, thread-safely, on first use.
    static const AppConfig& defaultConfig();

    // Each variable is judged on its own; an unusable value (absent, blank,
    // not a strict URL as it stands, scheme not http/https/ws/wss, no host)
    // falls back to the default without a message.
    static AppConfig loadFromEnvironment(const QProcessEnvironment& environment);
    static AppConfig loadFromEnvironment(const QHash<QString, QString>& environment);
    // loadFromEnvironment(QProcessEnvironment::systemEnvironment()).
    static AppConfig loadFromProcessEnvironment();

    // apiBaseURL = api, wsBaseURL = its WebSocket form, the rest the defaults.
    static AppConfig derive(const QUrl& api);

    // "http" → "ws", "https" → "wss"; any other scheme is kept. Host, port,
    // path, query and fragment are kept. An invalid URL comes back unchanged.
    static QUrl toWebSocketURL(const QUrl& url);

    // https and wss anywhere; http and ws only for the host "localhost" or "127.0.0.1".
    static bool isURLSchemeAllowedInRelease(const QUrl& url);

    // The fatal message for the first of api, ws, pairing, pricing that breaks
    // the release rule; none when all pass.
    std::optional<QString> firstReleaseSchemeViolation() const;
    // Stops the process (qFatal) with that message. Runs in every build type.
    void assertSchemesValidForCurrentBuild() const;

    friend bool operator==(const AppConfig&, const AppConfig&) = default;

private:
    static std::optional<QUrl> parseURL(const std::optional<QString>& raw);
    template <typename Lookup>
    static AppConfig load(const Lookup& lookup);
};

} // namespace vellamor
