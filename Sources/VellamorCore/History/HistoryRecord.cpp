#include "History/HistoryRecord.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"
#include "Support/UuidText.h"

#include <utility>

namespace vellamor {

HistoryRecord::HistoryRecord(QUuid id, QString text, std::optional<QString> recognizedText,
                             std::optional<QString> polishedText, std::optional<QString> sourceApp, Date createdAt,
                             std::optional<Date> updatedAt, std::optional<Date> deletedAt, bool synced,
                             std::optional<qint64> serverId)
    : id(id)
    , text(std::move(text))
    , recognizedText(recognizedText ? std::move(*recognizedText) : this->text)
    , polishedText(polishedText && !polishedText->isEmpty() ? std::move(polishedText) : std::nullopt)
    , sourceApp(std::move(sourceApp))
    , createdAt(createdAt)
    , updatedAt(updatedAt.value_or(createdAt))
    , deletedAt(deletedAt)
    , synced(synced)
    , serverId(serverId)
{
}

QString HistoryRecord::clientID() const
{
    return uuidString(id);
}

QJsonObject HistoryRecord::toJson(const DateEncoder& encodeDate) const
{
    JsonWriter writer;
    writer.insert(u"id", clientID())
        .insert(u"text", text)
        .insert(u"recognizedText", recognizedText)
        .insertIfPresent(u"polishedText", polishedText)
        .insertIfPresent(u"sourceApp", sourceApp)
        .insert(u"createdAt", encodeDate(createdAt))
        .insert(u"updatedAt", encodeDate(updatedAt));
    if (deletedAt)
        writer.insert(u"deletedAt", encodeDate(*deletedAt));
    writer.insert(u"synced", synced).insertIfPresent(u"serverId", serverId);
    return writer.object();
}

HistoryRecord HistoryRecord::fromJson(const QJsonValue& value, const QString& path, const DateDecoder& decodeDate)
{
    const JsonReader reader(json::readObject(value, path), path);
    const auto optionalDate = [&](QStringView key) -> std::optional<Date> {
        if (!reader.hasValue(key))
            return std::nullopt;
        return decodeDate(reader.value(key), reader.pathFor(key));
    };

    QString text = reader.requireString(u"text");
    QUuid id = QUuid::createUuid();
    if (const auto idText = reader.optionalString(u"id")) {
        const auto parsed = parseUuid(*idText);
        if (!parsed)
            throw reader.invalidValue(u"id", QStringLiteral("not a UUID: ") + *idText);
        id = *parsed;
    }
    std::optional<QString> recognizedText = reader.optionalString(u"recognizedText");
    std::optional<QString> polishedText = reader.optionalString(u"polishedText");
    std::optional<QString> sourceApp = reader.optionalString(u"sourceApp");
    const Date createdAt = optionalDate(u"createdAt").value_or(Date::now());
    const std::optional<Date> updatedAt = optionalDate(u"updatedAt");
    const std::optional<Date> deletedAt = optionalDate(u"deletedAt");
    const bool synced = reader.optionalBool(u"synced").value_or(false);
    const std::optional<qint64> serverId = reader.optionalInt64(u"serverId");
    return HistoryRecord(id, std::move(text), std::move(recognizedText), std::move(polishedText),
                         std::move(sourceApp), createdAt, updatedAt, deletedAt, synced, serverId);
}

} // namespace vellamor
