#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// The one error of the sign-in road: thrown by the authentication client and
// session, published by the session's observer, shown by the sign-in sheet.
// The user-facing texts are fixed Chinese texts, not localised.
class AuthAPIError final : public Error {
public:
    // In declared order.
    enum class Kind {
        userBanned,            // text(): the reason
        network,               // text(): the detail
        server,                // code(), text(): the message
        keychainCleanupFailed, // status()
        keychainWriteFailed,   // status()
        invalidEmail,
        invalidPassword,
        invalidCode,
        codeExpired,
        tooManyRequests,
        credentialsInvalid,
        tokenInvalid,
        tokenExpired,
        tokenRevoked,
        mailerFailed,
        unauthorized,
    };

    static AuthAPIError userBanned(QString reason);
    static AuthAPIError network(QString detail);
    static AuthAPIError server(qint64 code, QString message);
    static AuthAPIError keychainCleanupFailed(qint32 status);
    static AuthAPIError keychainWriteFailed(qint32 status);
    static AuthAPIError invalidEmail() { return AuthAPIError(Kind::invalidEmail); }
    static AuthAPIError invalidPassword() { return AuthAPIError(Kind::invalidPassword); }
    static AuthAPIError invalidCode() { return AuthAPIError(Kind::invalidCode); }
    static AuthAPIError codeExpired() { return AuthAPIError(Kind::codeExpired); }
    static AuthAPIError tooManyRequests() { return AuthAPIError(Kind::tooManyRequests); }
    static AuthAPIError credentialsInvalid() { return AuthAPIError(Kind::credentialsInvalid); }
    static AuthAPIError tokenInvalid() { return AuthAPIError(Kind::tokenInvalid); }
    static AuthAPIError tokenExpired() { return AuthAPIError(Kind::tokenExpired); }
    static AuthAPIError tokenRevoked() { return AuthAPIError(Kind::tokenRevoked); }
    static AuthAPIError mailerFailed() { return AuthAPIError(Kind::mailerFailed); }
    static AuthAPIError unauthorized() { return AuthAPIError(Kind::unauthorized); }

    Kind kind() const { return kind_; }
    // The string payload of userBanned, network and server; empty otherwise.
    const QString& text() const { return text_; }
    // The server code of `server`; 0 otherwise.
    qint64 code() const { return code_; }
    // The keyring status of the two keychain cases; 0 otherwise.
    qint32 status() const { return status_; }

    QString errorDescription() const override;
    // `tokenExpired`, `network("HTTP 502")`, `server(code: 50000, message: "x")`,
    // `keychainWriteFailed(-25293)`.
    QString debugDescription() const override;

    static QString kindName(Kind kind);

    friend bool operator==(const AuthAPIError& a, const AuthAPIError& b)
    {
        return a.kind_ == b.kind_ && a.text_ == b.text_ && a.code_ == b.code_ && a.status_ == b.status_;
    }

private:
    explicit AuthAPIError(Kind kind, QString text = {}, qint64 code = 0, qint32 status = 0);

    Kind kind_;
    QString text_;
    qint64 code_;
    qint32 status_;
};

} // namespace vellamor
