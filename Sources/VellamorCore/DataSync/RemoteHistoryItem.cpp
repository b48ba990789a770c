#include "DataSync/RemoteHistoryItem.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

namespace vellamor {

namespace {

std::optional<Date> optionalDate(const JsonReader& reader, QStringView key)
{
    if (!reader.hasValue(key))
        return std::nullopt;
    return decodeFlexibleDate(reader.value(key), reader.pathFor(key));
}

} // namespace

RemoteHistoryItem RemoteHistoryItem::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    RemoteHistoryItem item;
    item.id = reader.requireInt64(u"id");
    item.clientID = reader.optionalString(u"client_id");
    item.recognizedText = reader.optionalString(u"raw_text").value_or(QString());
    item.polishedText = reader.optionalString(u"polished_text");
    if (item.polishedText && item.polishedText->isEmpty())
        item.polishedText.reset();
    item.text = item.polishedText.value_or(item.recognizedText);
    item.sourceApp = reader.optionalString(u"app_bundle_id");
    item.createdAt = optionalDate(reader, u"created_at").value_or(Date::now());
    item.updatedAt = optionalDate(reader, u"updated_at").value_or(item.createdAt);
    item.deletedAt = optionalDate(reader, u"deleted_at");
    return item;
}

} // namespace vellamor
