#pragma once

#include "ApiAction.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vellamor::devbackend {

class DevServer;
class SourceCommandEndpoint;

// The input-source actions, the source-command socket (SourceCommandEndpoint)
// and a simulated phone. The account is the one the bearer token of a call or
// a socket speaks for (DevServer::accountOf; no or an empty token: HTTP 401,
// code 40100; "inputSource.status" needs none). The sources are the state
// part "input_sources"; pairing codes live only as long as the process.
//
// - "inputSource.createPairing" {} → {"code" (6 digits), "expires_at"
//   (ISO 8601, pairingLifetime from now)}.
// - "inputSource.list" {} → {"items": the account's sources, oldest first,
//   revoked ones included}.
// - "inputSource.revoke" {"source_id"} → no data; the account's sockets get
//   "source_revoked".
// - "inputSource.confirmPairing" {"source_id", "accept"} on a pending
//   source → no data; accept makes it "active", a refusal "revoked"; the
//   sockets get "source_updated".
// - "inputSource.status" {"source_token"} → {"status"}.
// Malformed payloads (an id that is not a JSON integer, "accept" that is not
// a JSON Boolean, a token that is not a string): code 40001; an unknown
// source or one of another account: 40402; a source that is not pending:
// 40901; an unknown, expired or claimed code: 40403.
//
// A phone claims a code through the pairing page (PairingPage) or, in
// tests, as if it had: a pending source of kind "web" appears and the account's sockets get
// "pairing_request". Once active it can send text ("insert", with "seq"
// counting from 1 per source) and announce itself ("source_connected").
// Besides the calls below, scripts reach the phone through the actions
// "dev.phone.claim" {code, friendly_name?, ip?} → {source_id,
// source_token}, "dev.phone.send" {source_token, text} and
// "dev.phone.connect" {source_token}.
class DevInputSources final : public QObject {
    Q_OBJECT
public:
    struct Source {
        qint64 id = 0;
        QString account;
        QString kind;
        QString friendlyName;
        QString status;
        QDateTime createdAt;
        std::optional<QDateTime> lastUsedAt;
        QString token;
        qint64 sentTexts = 0;
    };

    struct Claim {
        qint64 sourceID = 0;
        QString sourceToken;
    };

    enum class ClaimRefusal { unknownCode, expiredCode, claimedCode, tooManySources };

    static constexpr std::chrono::minutes pairingLifetime{5};
    // A long-running server keeps at most this many sources; claims beyond are refused.
    static constexpr qsizetype maxSources = 256;

    // Creates the state and its endpoint as children of `server` and
    // registers the actions and the socket path.
    static DevInputSources* install(DevServer& server);
    static DevInputSources* of(DevServer& server);

    SourceCommandEndpoint& endpoint() const { return *endpoint_; }

    std::optional<Claim> claim(const QString& code, const QString& friendlyName,
        const QString& ip = QStringLiteral("127.0.0.1"), ClaimRefusal* refusal = nullptr);
    // Lets every pairing code issued so far run out now.
    void expirePairings();
    // Why a claim of `code` would be refused now; none when it would pass.
    std::optional<ClaimRefusal> refusalOf(const QString& code) const;
    // The source holding `sourceToken`, whatever its status.
    const Source* sourceWithToken(const QString& sourceToken) const;
    // False when the token is unknown or its source is not active.
    bool sendText(const QString& sourceToken, const QString& text);
    bool announce(const QString& sourceToken);

    QJsonObject saveState() const;
    bool restoreState(const QJsonObject& saved);

private:
    struct Pairing {
        QString account;
        QDateTime expiresAt;
        bool claimed = false;
    };

    explicit DevInputSources(DevServer& server);

    ApiReply handle(const ApiCall& call);
    ApiReply handlePhone(const ApiCall& call);
    ApiReply createPairing(const QString& account);
    ApiReply list(const QString& account) const;
    ApiReply revoke(const QString& account, const QJsonObject& data);
    ApiReply confirmPairing(const QString& account, const QJsonObject& data);
    ApiReply status(const QJsonObject& data) const;
    Source* activeSource(const QString& token);
    Source* sourceOf(const QString& account, const QJsonValue& id);

    DevServer& server_;
    SourceCommandEndpoint* endpoint_;
    QHash<QString, Pairing> pairings_;
    QList<Source> sources_;
    qint64 nextSourceID_ = 1;
};

} // namespace vellamor::devbackend
