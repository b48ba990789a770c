#include "History/HistoryRecordFactory.h"

#include <QUuid>

#include <utility>

namespace vellamor::HistoryRecordFactory {

HistoryRecord dictation(const QString& insertedText, const QString& recognizedText, const QString& polishedText,
                        std::optional<QString> sourceApp, Date now)
{
    QString text = recognizedText;
    if (!insertedText.isEmpty())
        text = insertedText;
    else if (!polishedText.isEmpty())
        text = polishedText;
    return HistoryRecord(QUuid::createUuid(), text, recognizedText, polishedText, std::move(sourceApp), now, now,
                         std::nullopt, false, std::nullopt);
}

HistoryRecord phoneText(const QString& text, Date now)
{
    return HistoryRecord(QUuid::createUuid(), text, text, std::nullopt, QStringLiteral("mobile-input-source"), now,
                         std::nullopt, std::nullopt, false, std::nullopt);
}

} // namespace vellamor::HistoryRecordFactory
