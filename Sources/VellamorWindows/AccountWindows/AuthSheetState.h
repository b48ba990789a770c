#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// Everything the sign-in sheet shows, as one value: what the user typed,
// where the sheet stands, and the texts and switches that follow from it.
// Two roads in: an e-mail code (one request serves sign-in and
// registration; the server says which through the code's purpose) and an
// e-mail address with a password.
struct AuthSheetState {
    enum class Tab { emailCode, password };
    // Only meaningful on the e-mail code tab.
    enum class Step { enterEmail, enterCode };

    static constexpr int codeLength = 6;
    static constexpr int minPasswordLength = 8;
    static constexpr int maxPasswordLength = 128;

    Tab tab = Tab::emailCode;
    Step step = Step::enterEmail;
    // As typed; trimmed only when validated and sent.
    QString email;
    QString password;
    // ASCII digits only, at most codeLength of them.
    QString code;
    std::optional<QString> errorText;
    bool isBusy = false;
    // What the last code request said the code is for; "register" creates
    // the account.
    QString pendingPurpose;
    // Seconds before another code may be requested.
    int resendCountdown = 0;

    QString titleText() const;
    QString subtitleText() const;
    QString primaryButtonTitle() const;
    bool primaryEnabled() const;
    QString resendTitle() const;
    bool resendEnabled() const { return resendCountdown <= 0 && !isBusy; }
    bool isRegistering() const { return pendingPurpose == u"register"; }

    // The address as every request carries it: without surrounding white space.
    QString emailToSend() const { return email.trimmed(); }

    // One "@" with something before it and, after it, at least four
    // characters with a "." among them; surrounding white space is ignored.
    static bool isValidEmail(const QString& email);
    // The decimal digits of `typed` (any script's, full-width ones included)
    // as ASCII digits, at most codeLength of them; everything else dropped.
    static QString filterCode(const QString& typed);

    friend bool operator==(const AuthSheetState&, const AuthSheetState&) = default;
};

} // namespace vellamor
