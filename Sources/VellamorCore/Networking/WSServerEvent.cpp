#include "Networking/WSServerEvent.h"

#include "Support/Json/JsonValue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace vellamor {

namespace {

QString textField(const QJsonObject& payload)
{
    const QJsonValue text = payload.value(QStringLiteral("text"));
    return text.isString() ? text.toString() : QString();
}

ASRStreamEvent decodeError(const QJsonObject& payload)
{
    const qint64 code = json::exactInt64(payload.value(QStringLiteral("code"))).value_or(-1);

    QString message;
    const QJsonValue msg = payload.value(QStringLiteral("msg"));
    const QJsonValue longMessage = payload.value(QStringLiteral("message"));
    if (msg.isString())
        message = msg.toString();
    else if (longMessage.isString())
        message = longMessage.toString();

    QMap<QString, QString> data;
    for (auto it = payload.constBegin(); it != payload.constEnd(); ++it) {
        const QString key = it.key();
        if (key == u"code" || key == u"msg" || key == u"message" || key == u"type")
            continue;
        // Only strings: numbers, booleans, objects and arrays are dropped, not converted.
        if (it.value().isString())
            data.insert(key, it.value().toString());
    }
    return ASRStreamEvent::error(code, message, data.isEmpty() ? std::nullopt : std::optional(data));
}

} // namespace

std::optional<ASRStreamEvent> WSServerEvent::decode(const QString& text)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue type = object.value(QStringLiteral("type"));
    if (!type.isString())
        return std::nullopt;

    const QJsonValue data = object.value(QStringLiteral("data"));
    const QJsonObject payload = data.isObject() ? data.toObject() : object;

    const QString name = type.toString();
    if (name == u"ready")
        return ASRStreamEvent::ready();
    if (name == u"partial")
        return ASRStreamEvent::partial(textField(payload));
    if (name == u"final")
        return ASRStreamEvent::final(textField(payload));
    if (name == u"polish")
        return ASRStreamEvent::polish(textField(payload));
    if (name == u"done")
        return ASRStreamEvent::done();
    if (name == u"error")
        return decodeError(payload);
    return std::nullopt;
}

} // namespace vellamor
