#pragma once

#include <QString>
#include <QUrl>

#include <cstddef>
#include <variant>

namespace vellamor {

// The one link the application acts on: the sign-in callback.
struct DeeplinkIntent {
    QString state;
    QString code;

    static DeeplinkIntent auth(QString state, QString code) { return {std::move(state), std::move(code)}; }

    friend bool operator==(const DeeplinkIntent&, const DeeplinkIntent&) = default;
};

// Why a link of the application's scheme was refused.
enum class RejectReason {
    wrongScheme,
    unknownHost,
    missingRequiredQuery,
    payloadTooLong,
    invalidEncoding,
    duplicateQuery,
    unexpectedQuery,
};

// "wrongScheme", …; the last two in snake case: "duplicate_query", "unexpected_query".
QString rawValue(RejectReason reason);

// Validates a "vellamor://auth?state=…&code=…" link before anything acts on
// it: a fixed scheme and host, only the two known keys, each once, with
// bounded lengths, and the whole link bounded before it is looked into.
// Pure; any thread.
class DeeplinkRouter {
public:
    using Result = std::variant<DeeplinkIntent, RejectReason>;

    // Bytes of UTF-8 of the whole link.
    static constexpr std::size_t maxURLLength = 2048;
    // User-perceived characters of the decoded values.
    static constexpr qsizetype maxStateLength = 128;
    static constexpr qsizetype maxCodeLength = 512;

    DeeplinkRouter() = delete;

    // Checks in this order, the first failure wins: length, encoding,
    // scheme, structure, host, unknown keys (an empty name included),
    // repeated keys, state, code. Path, fragment, user and port are not
    // looked at. The values come back percent-decoded.
    static Result route(const QUrl& url);

    // The items of the link's query as route() splits it: one per "&"-
    // separated segment of a non-empty query, empty segments included.
    static qsizetype queryItemCount(const QUrl& url);
};

} // namespace vellamor
