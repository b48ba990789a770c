#include "History/HistoryPayload.h"

#include "History/HistoryRecord.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

HistoryPayload HistoryPayload::of(const HistoryRecord& record)
{
    return {record.text, record.recognizedText, record.polishedText, record.sourceApp};
}

QByteArray HistoryPayload::toJson() const
{
    JsonWriter writer;
    writer.insert(u"text", text)
        .insertIfPresent(u"recognizedText", recognizedText)
        .insertIfPresent(u"polishedText", polishedText)
        .insertIfPresent(u"sourceApp", sourceApp);
    return writer.toJson();
}

HistoryPayload HistoryPayload::fromJson(const QByteArray& bytes)
{
    const JsonReader reader = JsonReader::parse(bytes);
    return {reader.requireString(u"text"), reader.optionalString(u"recognizedText"),
            reader.optionalString(u"polishedText"), reader.optionalString(u"sourceApp")};
}

} // namespace vellamor
