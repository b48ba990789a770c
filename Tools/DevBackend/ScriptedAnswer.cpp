#include "ScriptedAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <limits>

namespace vellamor::devbackend {

namespace {

// Reads an integer in [low, high]; a value out of range is refused rather
// than cut down to what the field can hold.
bool readInt(const QJsonObject& object, const QString& key, qint64 low, qint64 high, qint64* out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return true;
    if (!value.isDouble() || value.toDouble() != static_cast<double>(value.toInteger())) {
        *error = key + QStringLiteral(" must be an integer");
        return false;
    }
    if (value.toInteger() < low || value.toInteger() > high) {
        *error = key + QStringLiteral(" must be between %1 and %2").arg(low).arg(high);
        return false;
    }
    *out = value.toInteger();
    return true;
}

bool readString(const QJsonObject& object, const QString& key, QString* out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return true;
    if (!value.isString()) {
        *error = key + QStringLiteral(" must be a string");
        return false;
    }
    *out = value.toString();
    return true;
}

} // namespace

std::optional<ScriptedAnswer> ScriptedAnswer::fromJson(const QJsonObject& object, QString* error)
{
    // Timers take an int of milliseconds.
    constexpr qint64 maxInt = std::numeric_limits<int>::max();
    ScriptedAnswer script;
    qint64 times = script.times;
    qint64 delay = 0;
    qint64 status = -1;
    qint64 trickle = -1;
    if (!readString(object, QStringLiteral("path"), &script.path, error)
        || !readString(object, QStringLiteral("action"), &script.action, error)
        || !readString(object, QStringLiteral("redirect_to"), &script.redirectTo, error)
        || !readInt(object, QStringLiteral("times"), unlimited, maxInt, &times, error)
        || !readInt(object, QStringLiteral("delay_ms"), 0, maxInt, &delay, error)
        || !readInt(object, QStringLiteral("status"), 100, 599, &status, error)
        || !readInt(object, QStringLiteral("trickle_ms"), 0, maxInt, &trickle, error))
        return std::nullopt;
    if (times == 0) {
        *error = QStringLiteral("times must be -1 (unlimited) or at least 1");
        return std::nullopt;
    }

    script.times = static_cast<int>(times);
    script.delay = std::chrono::milliseconds(delay);
    if (status >= 0)
        script.status = static_cast<int>(status);
    if (trickle >= 0)
        script.trickle = std::chrono::milliseconds(trickle);

    const QJsonValue drop = object.value(QStringLiteral("drop"));
    if (!drop.isUndefined() && !drop.isBool()) {
        *error = QStringLiteral("drop must be a bool");
        return std::nullopt;
    }
    script.drop = drop.toBool();

    const QJsonValue headers = object.value(QStringLiteral("headers"));
    if (!headers.isUndefined()) {
        if (!headers.isObject()) {
            *error = QStringLiteral("headers must be an object");
            return std::nullopt;
        }
        const QJsonObject fields = headers.toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (!it.value().isString()) {
                *error = QStringLiteral("header values must be strings");
                return std::nullopt;
            }
            script.headers.append({it.key().toLatin1(), it.value().toString().toUtf8()});
        }
    }

    const QJsonValue body = object.value(QStringLiteral("body"));
    const QJsonValue json = object.value(QStringLiteral("json"));
    if (!body.isUndefined() && !json.isUndefined()) {
        *error = QStringLiteral("give body or json, not both");
        return std::nullopt;
    }
    if (!body.isUndefined()) {
        if (!body.isString()) {
            *error = QStringLiteral("body must be a string");
            return std::nullopt;
        }
        script.body = body.toString().toUtf8();
    } else if (!json.isUndefined()) {
        // QJsonDocument only wraps objects and arrays; scalars are written by hand.
        if (json.isObject())
            script.body = QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
        else if (json.isArray())
            script.body = QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
        else {
            QByteArray wrapped = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
            script.body = wrapped.mid(1, wrapped.size() - 2);
        }
        script.headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    }
    return script;
}

} // namespace vellamor::devbackend
