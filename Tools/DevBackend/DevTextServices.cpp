#include "DevTextServices.h"

#include "DevServer.h"

#include <QJsonArray>

#include <algorithm>

#include <initializer_list>
#include <utility>

namespace vellamor::devbackend {

const QString DevTextServices::transformAction = QStringLiteral("text.transform");
const QString DevTextServices::feedbackAction = QStringLiteral("session.feedback");

namespace {

bool hasStrings(const QJsonObject& object, std::initializer_list<const char16_t*> keys)
{
    for (const char16_t* key : keys) {
        if (!object.value(QStringView(key)).isString())
            return false;
    }
    return true;
}

bool isTransformPayload(const QJsonValue& data)
{
    const QJsonObject object = data.toObject();
    return data.isObject() && hasStrings(object, {u"mode", u"source_text", u"instruction", u"session_id"})
        && object.value(QStringLiteral("context")).isObject()
        && hasStrings(object.value(QStringLiteral("context")).toObject(),
                      {u"app_bundle_id", u"scene", u"style", u"target_language"});
}

bool isFeedbackPayload(const QJsonValue& data)
{
    const QJsonObject object = data.toObject();
    if (!data.isObject() || !hasStrings(object, {u"session_id", u"rating", u"comment", u"expected_text"}))
        return false;
    const QJsonValue issues = object.value(QStringLiteral("issue_types"));
    if (!issues.isArray())
        return false;
    const QJsonArray array = issues.toArray();
    return std::all_of(array.begin(), array.end(), [](const QJsonValue& issue) { return issue.isString(); });
}

ApiReply replyFor(const DevTextServices::Fault& fault)
{
    ApiReply reply = ApiReply::failure(fault.code, fault.msg, fault.httpStatus);
    reply.data = fault.data;
    return reply;
}

} // namespace

DevTextServices::Fault DevTextServices::Fault::http401()
{
    return Fault{401, 40100, QStringLiteral("unauthorized"), std::nullopt};
}

DevTextServices::Fault DevTextServices::Fault::resultCode(qint64 code, QString msg, std::optional<QJsonValue> data)
{
    return Fault{200, code, std::move(msg), std::move(data)};
}

DevTextServices::Fault DevTextServices::Fault::quotaExhausted(std::optional<QString> kind)
{
    std::optional<QJsonValue> data;
    if (kind)
        data = QJsonObject{{QStringLiteral("kind"), *kind}};
    return Fault{200, 42902, QStringLiteral("quota exhausted"), std::move(data)};
}

void DevTextServices::setFault(const QString& action, std::optional<Fault> fault)
{
    if (fault)
        faults_.insert(action, std::move(*fault));
    else
        faults_.remove(action);
}

QString DevTextServices::transformText(const QString& mode, const QString& source, const QString& targetLanguage)
{
    if (mode == u"polish")
        return source.simplified();
    if (mode == u"translate")
        return QLatin1Char('[') + targetLanguage + QStringLiteral("] ") + source;
    return source;
}

std::shared_ptr<DevTextServices> DevTextServices::install(DevServer& server)
{
    auto state = std::make_shared<DevTextServices>();

    server.registerAction(transformAction, [state](const ApiCall& call) {
        if (!call.bearerToken())
            return replyFor(Fault::http401());
        if (const auto fault = state->faults_.constFind(transformAction); fault != state->faults_.constEnd())
            return replyFor(*fault);
        if (!isTransformPayload(call.data))
            return ApiReply::badRequest();
        const QJsonObject data = call.data.toObject();
        const QString source = data.value(QStringLiteral("source_text")).toString();
        const QString mode = data.value(QStringLiteral("mode")).toString();
        const QString target =
            data.value(QStringLiteral("context")).toObject().value(QStringLiteral("target_language")).toString();
        return ApiReply::success(QJsonObject{
            {QStringLiteral("transformed_text"), transformText(mode, source, target)},
            {QStringLiteral("mode"), mode},
            {QStringLiteral("provider"), QStringLiteral("devserver")},
            {QStringLiteral("latency_ms"), static_cast<qint64>(source.size())},
            {QStringLiteral("session_id"), data.value(QStringLiteral("session_id"))},
        });
    });

    server.registerAction(feedbackAction, [state](const ApiCall& call) {
        if (!call.bearerToken())
            return replyFor(Fault::http401());
        if (const auto fault = state->faults_.constFind(feedbackAction); fault != state->faults_.constEnd())
            return replyFor(*fault);
        if (!isFeedbackPayload(call.data))
            return ApiReply::badRequest();
        state->feedbacks_.append(call.data.toObject());
        return ApiReply::success(QJsonObject{{QStringLiteral("ok"), true}});
    });

    return state;
}

} // namespace vellamor::devbackend
