#pragma once

#include <QString>

namespace vellamor {

// The backend's remote-procedure action names: a lower-case domain, a dot
// and an operation in lower camel case, case-sensitive.
struct VellamorAction {
    VellamorAction() = delete;

    static inline const QString systemPing = QStringLiteral("system.ping");
    static inline const QString systemConfig = QStringLiteral("system.config");
    static inline const QString authRegister = QStringLiteral("auth.register");
    static inline const QString authVerify = QStringLiteral("auth.verify");
    static inline const QString authLogin = QStringLiteral("auth.login");
    static inline const QString authLogout = QStringLiteral("auth.logout");
    static inline const QString authRefresh = QStringLiteral("auth.refresh");
    static inline const QString authRequestLoginCode = QStringLiteral("auth.requestLoginCode");
    static inline const QString authLoginWithCode = QStringLiteral("auth.loginWithCode");
    static inline const QString authRequestCode = QStringLiteral("auth.requestCode");
    static inline const QString authVerifyCode = QStringLiteral("auth.verifyCode");
    static inline const QString sessionLog = QStringLiteral("session.log");
    static inline const QString dictionaryList = QStringLiteral("dictionary.list");
    static inline const QString dictionarySync = QStringLiteral("dictionary.sync");
    static inline const QString dictionaryPush = QStringLiteral("dictionary.push");
    static inline const QString historyList = QStringLiteral("history.list");
    static inline const QString historyPush = QStringLiteral("history.push");
    static inline const QString historyDelete = QStringLiteral("history.delete");

    // Used by clients beyond the reference list above.
    static inline const QString historyAppend = QStringLiteral("history.append");
    static inline const QString historySync = QStringLiteral("history.sync");
    static inline const QString dictionaryUpsert = QStringLiteral("dictionary.upsert");
    static inline const QString dictionaryDelete = QStringLiteral("dictionary.delete");
    static inline const QString userMe = QStringLiteral("user.me");
    static inline const QString adminTailLog = QStringLiteral("admin.tailLog");
    static inline const QString textTransform = QStringLiteral("text.transform");
    static inline const QString sessionFeedback = QStringLiteral("session.feedback");
    static inline const QString modelList = QStringLiteral("model.list");
    static inline const QString usageMe = QStringLiteral("usage.me");
    static inline const QString planGet = QStringLiteral("plan.get");
    static inline const QString walletMe = QStringLiteral("wallet.me");
    static inline const QString preferencesGet = QStringLiteral("preferences.get");
    static inline const QString preferencesUpdate = QStringLiteral("preferences.update");
};

} // namespace vellamor
