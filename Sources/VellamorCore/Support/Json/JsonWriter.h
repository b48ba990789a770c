#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <concepts>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

namespace vellamor {

// Builds one JSON object with the caller's key spellings:
//
//     JsonWriter w;
//     w.insert(u"user_id", userId).insert(u"count", count).insertIfPresent(u"note", note);
//     const QByteArray body = w.toJson();
//
// insertIfPresent omits a none (it never writes null); insertNull writes an
// explicit null. Integers are written as exact qint64; an unsigned value above
// the qint64 range and a non-finite double throw JsonError::invalidValue (JSON
// has no NaN or infinity, and Qt would silently write null). A C string is
// refused at compile time: it would otherwise become a bool.
class JsonWriter {
public:
    JsonWriter() = default;
    explicit JsonWriter(QJsonObject start) : object_(std::move(start)) { }

    JsonWriter& insert(QStringView key, const QString& value);
    JsonWriter& insert(QStringView key, bool value);
    JsonWriter& insert(QStringView key, double value);
    JsonWriter& insert(QStringView key, const QJsonObject& value);
    JsonWriter& insert(QStringView key, const QJsonArray& value);
    JsonWriter& insert(QStringView key, const QJsonValue& value);
    JsonWriter& insert(QStringView key, const JsonWriter& value);
    JsonWriter& insert(QStringView key, const QStringList& value);

    template <std::integral Integer>
        requires(!std::same_as<Integer, bool>)
    JsonWriter& insert(QStringView key, Integer value)
    {
        if constexpr (std::is_unsigned_v<Integer> && sizeof(Integer) >= sizeof(qint64)) {
            if (value > static_cast<Integer>(std::numeric_limits<qint64>::max()))
                throwUnsignedOutOfRange(key);
        }
        return insertValue(key, QJsonValue(static_cast<qint64>(value)));
    }

    JsonWriter& insert(QStringView key, const char* value) = delete;

    template <typename T>
    JsonWriter& insertIfPresent(QStringView key, const std::optional<T>& value)
    {
        if (value)
            insert(key, *value);
        return *this;
    }

    JsonWriter& insertNull(QStringView key);

    const QJsonObject& object() const { return object_; }
    // Compact UTF-8 JSON text.
    QByteArray toJson() const;

private:
    JsonWriter& insertValue(QStringView key, const QJsonValue& value);
    [[noreturn]] void throwUnsignedOutOfRange(QStringView key) const;

    QJsonObject object_;
};

} // namespace vellamor
