#pragma once

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace vellamor::devbackend {

class DevServer;

// "text.transform" and "session.feedback" for any caller with a non-empty
// bearer token (no or an empty token: HTTP 401, code 40100). A payload
// without every field of the right type: code 40001.
//
// text.transform answers deterministically: mode "polish" gives the source
// with runs of white space collapsed and the ends trimmed, "translate"
// gives "[<target_language>] " + source, any other mode the source as it
// is; provider "devserver", latency_ms the number of UTF-16 units of the
// source, mode and session_id echoed. session.feedback keeps each feedback
// and answers {"ok": true}.
//
// A test can switch an action to a fixed refusal with setFault, e.g. the
// quota refusal 42902 with or without "kind": "points_balance", an HTTP 401,
// or the session-ending codes 40100 to 40103; it holds until cleared.
class DevTextServices {
public:
    struct Fault {
        int httpStatus = 200;
        qint64 code = 0;
        QString msg;
        std::optional<QJsonValue> data;

        static Fault http401();
        static Fault resultCode(qint64 code, QString msg, std::optional<QJsonValue> data = std::nullopt);
        // 42902 with data {"kind": kind}, or without data when none.
        static Fault quotaExhausted(std::optional<QString> kind);
    };

    static const QString transformAction;
    static const QString feedbackAction;

    // Registers both actions on `server`, replacing earlier ones; the state
    // lives as long as the returned handle or the server's handlers.
    static std::shared_ptr<DevTextServices> install(DevServer& server);

    void setFault(const QString& action, std::optional<Fault> fault);
    // Every accepted feedback payload, in arrival order.
    const QList<QJsonObject>& feedbacks() const { return feedbacks_; }

    static QString transformText(const QString& mode, const QString& source, const QString& targetLanguage);

private:
    QHash<QString, Fault> faults_;
    QList<QJsonObject> feedbacks_;
};

} // namespace vellamor::devbackend
