#include "DevAccountServices.h"

#include "DevServer.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>

namespace vellamor::devbackend {

namespace {

const QString stateObjectName = QStringLiteral("DevAccountServices");

const QStringList bearerActions{
    QStringLiteral("usage.me"),        QStringLiteral("plan.get"),          QStringLiteral("wallet.me"),
    QStringLiteral("preferences.get"), QStringLiteral("preferences.update"),
};
const QStringList openActions{QStringLiteral("model.list"), QStringLiteral("system.ping"),
                              QStringLiteral("system.config")};

QString isoTime(const QDateTime& time)
{
    return time.toString(Qt::ISODate);
}

bool isStringMap(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    return value.isObject()
        && std::all_of(object.begin(), object.end(), [](const QJsonValueConstRef member) { return member.isString(); });
}

} // namespace

DevAccountServices::DevAccountServices(QObject* parent) : QObject(parent)
{
    setObjectName(stateObjectName);
    reset();
}

DevAccountServices* DevAccountServices::install(DevServer& server)
{
    auto* state = new DevAccountServices(&server);
    for (const QString& name : bearerActions + openActions)
        server.registerAction(name, [state](const ApiCall& call) { return state->handle(call); });
    connect(&server, &DevServer::recordsReset, state, &DevAccountServices::reset);
    return state;
}

DevAccountServices* DevAccountServices::of(DevServer& server)
{
    return server.findChild<DevAccountServices*>(stateObjectName, Qt::FindDirectChildrenOnly);
}

void DevAccountServices::reset()
{
    usage = QJsonObject{{QStringLiteral("audio_seconds"), 1260},
                        {QStringLiteral("output_chars"), 5400},
                        {QStringLiteral("sessions_count"), 42},
                        {QStringLiteral("transform_count"), 17},
                        {QStringLiteral("consumed_polish_chars"), 800},
                        {QStringLiteral("remaining_polish_chars"), 9200}};
    plan = QJsonObject{{QStringLiteral("plan"), QStringLiteral("free")},
                       {QStringLiteral("monthly_points_grant"), 1000},
                       {QStringLiteral("weekly_audio_sec_limit"), 3600},
                       {QStringLiteral("weekly_transform_limit"), 100},
                       {QStringLiteral("weekly_polish_char_limit"), 10000},
                       {QStringLiteral("allow_slow_queue"), true},
                       {QStringLiteral("remaining_audio_sec"), 2340},
                       {QStringLiteral("remaining_transform"), 83},
                       {QStringLiteral("remaining_polish_char"), 9200}};
    wallet = QJsonObject{{QStringLiteral("monthly_points"), 500},
                         {QStringLiteral("permanent_points"), 250},
                         {QStringLiteral("total"), 750},
                         {QStringLiteral("asr_points_per_second"), 1},
                         {QStringLiteral("polish_points"), 10}};
    models = QJsonArray{
        QJsonObject{{QStringLiteral("name"), QStringLiteral("standard")},
                    {QStringLiteral("model"), QStringLiteral("dev-llm-1")},
                    {QStringLiteral("active"), true}},
        QJsonObject{{QStringLiteral("name"), QStringLiteral("fast")}, {QStringLiteral("active"), false}},
    };
    preferences = QJsonObject{{QStringLiteral("user_id"), 1001},
                              {QStringLiteral("default_scene"), QStringLiteral("chat")},
                              {QStringLiteral("default_style"), QStringLiteral("casual")},
                              {QStringLiteral("default_lang"), QStringLiteral("zh-CN")},
                              {QStringLiteral("scene_overrides"), QJsonObject()},
                              {QStringLiteral("transform_defaults"), QJsonObject()},
                              {QStringLiteral("history_sync"), true},
                              {QStringLiteral("personalization_enabled"), true},
                              {QStringLiteral("dict_version"), 0},
                              {QStringLiteral("history_version"), 0}};
    config = QJsonObject{{QStringLiteral("region"), QStringLiteral("dev")},
                         {QStringLiteral("site_url"), QStringLiteral("http://127.0.0.1/")},
                         {QStringLiteral("asr_provider"), QStringLiteral("devserver")},
                         {QStringLiteral("llm_provider"), QStringLiteral("devserver")},
                         {QStringLiteral("scene_rules"), QJsonArray()},
                         {QStringLiteral("announcement"), QString()}};
}

ApiReply DevAccountServices::handle(const ApiCall& call)
{
    const bool signedIn = call.bearerToken().has_value();
    if (!signedIn && bearerActions.contains(call.action))
        return ApiReply::unauthorized();
    if (!call.data.isObject())
        return ApiReply::badRequest();
    const QJsonObject data = call.data.toObject();

    if (call.action == u"usage.me")
        return answerUsage(data);
    if (call.action == u"plan.get")
        return ApiReply::success(plan);
    if (call.action == u"wallet.me")
        return ApiReply::success(wallet);
    if (call.action == u"preferences.get")
        return ApiReply::success(preferences);
    if (call.action == u"preferences.update")
        return updatePreferences(data);
    if (call.action == u"model.list") {
        if (!signedIn)
            return ApiReply::failure(40100, QStringLiteral("unauthorized"));
        if (!data.value(QStringLiteral("kind")).isString())
            return ApiReply::badRequest();
        const bool llm = data.value(QStringLiteral("kind")) == QStringLiteral("llm");
        return ApiReply::success(QJsonObject{{QStringLiteral("models"), llm ? models : QJsonArray()}});
    }
    if (call.action == u"system.ping") {
        return ApiReply::success(QJsonObject{{QStringLiteral("pong"), true},
                                             {QStringLiteral("region"), config.value(QStringLiteral("region"))},
                                             {QStringLiteral("time"), isoTime(QDateTime::currentDateTimeUtc())}});
    }
    return ApiReply::success(config);
}

ApiReply DevAccountServices::answerUsage(const QJsonObject& data) const
{
    const QJsonValue period = data.value(QStringLiteral("period"));
    if (!period.isString())
        return ApiReply::badRequest();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonObject answer = usage;
    answer.insert(QStringLiteral("period"), period);
    answer.insert(QStringLiteral("period_start"), isoTime(now.addDays(period == QStringLiteral("month") ? -30 : -7)));
    answer.insert(QStringLiteral("period_end"), isoTime(now));
    return ApiReply::success(answer);
}

ApiReply DevAccountServices::updatePreferences(const QJsonObject& data)
{
    const QStringList texts{QStringLiteral("default_scene"), QStringLiteral("default_style"),
                            QStringLiteral("default_lang")};
    const QStringList maps{QStringLiteral("scene_overrides"), QStringLiteral("transform_defaults")};
    const QString historySync = QStringLiteral("history_sync");

    QJsonObject changed = preferences;
    for (auto it = data.begin(); it != data.end(); ++it) {
        if (it.value().isNull())
            continue;
        const bool fits = (texts.contains(it.key()) && it.value().isString())
            || (maps.contains(it.key()) && isStringMap(it.value())) || (it.key() == historySync && it.value().isBool());
        if (!fits)
            return ApiReply::badRequest();
        changed.insert(it.key(), it.value());
    }
    preferences = changed;
    return ApiReply::success(preferences);
}

} // namespace vellamor::devbackend
