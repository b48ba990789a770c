#include "Networking/WSServerEvent.h"

#include "Support/Json/JsonValue.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <utility>

namespace vellamor {

namespace {

QString textField(const QJsonObject& payload)
{
    const QJsonValue text = payload.value(QStringLiteral("text"));
    return text.isString() ? text.toString() : QString();
}

WSServerEvent decodeError(const QJsonObject& payload)
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
    return WSServerEvent::error(code, message, data.isEmpty() ? std::nullopt : std::optional(data));
}

} // namespace

WSServerEvent WSServerEvent::partial(QString text)
{
    WSServerEvent event(Kind::partial);
    event.text_ = std::move(text);
    return event;
}

WSServerEvent WSServerEvent::final(QString text)
{
    WSServerEvent event(Kind::final);
    event.text_ = std::move(text);
    return event;
}

WSServerEvent WSServerEvent::polish(QString text)
{
    WSServerEvent event(Kind::polish);
    event.text_ = std::move(text);
    return event;
}

WSServerEvent WSServerEvent::error(qint64 code, QString message, std::optional<QMap<QString, QString>> data)
{
    WSServerEvent event(Kind::error);
    event.code_ = code;
    event.message_ = std::move(message);
    event.data_ = std::move(data);
    return event;
}

WSServerEvent WSServerEvent::ready()
{
    return WSServerEvent(Kind::ready);
}

WSServerEvent WSServerEvent::done()
{
    return WSServerEvent(Kind::done);
}

std::optional<WSServerEvent> WSServerEvent::decode(const QString& text)
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
        return ready();
    if (name == u"partial")
        return partial(textField(payload));
    if (name == u"final")
        return final(textField(payload));
    if (name == u"polish")
        return polish(textField(payload));
    if (name == u"done")
        return done();
    if (name == u"error")
        return decodeError(payload);
    return std::nullopt;
}

ASRStreamEvent WSServerEvent::toStreamEvent() const
{
    switch (kind_) {
    case Kind::partial:
        return ASRStreamEvent::partial(text_);
    case Kind::final:
        return ASRStreamEvent::final(text_);
    case Kind::polish:
        return ASRStreamEvent::polish(text_);
    case Kind::error:
        return ASRStreamEvent::error(code_, message_, data_);
    case Kind::ready:
        return ASRStreamEvent::ready();
    case Kind::done:
        return ASRStreamEvent::done();
    }
    return ASRStreamEvent::done();
}

} // namespace vellamor
