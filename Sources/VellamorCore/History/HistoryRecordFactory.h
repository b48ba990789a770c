#pragma once

#include "History/HistoryRecord.h"

#include <QString>

#include <optional>

namespace vellamor::HistoryRecordFactory {

// A finished dictation: it keeps the text that went in, else the polished
// text, else the recognised one.
HistoryRecord dictation(const QString& insertedText, const QString& recognizedText, const QString& polishedText,
                        std::optional<QString> sourceApp, Date now = Date::now());

// A text a paired phone sent to be typed.
HistoryRecord phoneText(const QString& text, Date now = Date::now());

} // namespace vellamor::HistoryRecordFactory
