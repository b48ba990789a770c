#pragma once

#include "ApiAction.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

namespace vellamor::devbackend {

class DevServer;

// The account service actions, answered from the records below, which tests
// may change (a wallet without "total", 64-bit counters, a model list with
// a bad entry). Every action needs a non-empty bearer token (without one:
// HTTP 401, code 40100), except "model.list", whose refusal comes as code
// 40100 in an HTTP 200 reply, and the two system actions, which need none.
//
// - "usage.me" {"period": string} → `usage` with "period" echoed,
//   "period_start" 30 days back for "month" and 7 days back for any other
//   period, "period_end" now.
// - "plan.get" {} → `plan`; "wallet.me" {} → `wallet`.
// - "model.list" {"kind"} → {"models": `models`} for "llm", else no models.
// - "preferences.get" {} → `preferences`; "preferences.update" with any of
//   "default_scene", "default_style", "default_lang" (strings),
//   "scene_overrides", "transform_defaults" (objects of strings) and
//   "history_sync" (Boolean) changes the members given (null leaves one as
//   it is) and answers the whole record.
// - "system.ping" {} → {"pong": true, "region", "time": now};
//   "system.config" {} → `config`.
// A payload of the wrong shape: code 40001. Other faults (HTTP statuses,
// result codes such as 42902 or 40100…40103, malformed bodies, delays) are
// scripted with DevServer::script; POST /test/reset restores the records.
class DevAccountServices final : public QObject {
    Q_OBJECT
public:
    // Creates the state as a child of `server` and registers the actions.
    static DevAccountServices* install(DevServer& server);
    static DevAccountServices* of(DevServer& server);

    // The records as first installed.
    void reset();

    QJsonObject usage; // the counters; the period members are added per request
    QJsonObject plan;
    QJsonObject wallet;
    QJsonArray models;
    QJsonObject preferences;
    QJsonObject config;

private:
    explicit DevAccountServices(QObject* parent);

    ApiReply handle(const ApiCall& call);
    ApiReply answerUsage(const QJsonObject& data) const;
    ApiReply updatePreferences(const QJsonObject& data);
};

} // namespace vellamor::devbackend
