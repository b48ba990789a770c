#pragma once

#include "History/HistoryRecord.h"

#include <QFontMetricsF>
#include <QString>

namespace vellamor {

// The texts a history row derives from its record, afresh at each redraw.
class HistoryRowText {
public:
    // The polished text when present and not empty, else the recognised text
    // when not empty, else the inserted text. Not trimmed.
    static QString displayText(const HistoryRecord& record);
    // The last non-empty segment of the source application's dotted id ("Xcode"
    // of "com.apple.dt.Xcode"), the id itself when it is only dots, "未知 App"
    // when there is none.
    static QString sourceLabel(const HistoryRecord& record);
    // The first user-perceived character of the trimmed label, upper-cased;
    // "?" for a blank label.
    static QString badgeLetter(const QString& sourceLabel);
    // "MM-dd HH:mm · label", then "含识别/润色" when a polished text is
    // present and "已插入 ✓" when inserted, joined by " · ".
    static QString metaText(const HistoryRecord& record, bool inserted);
    // metaText() cut to `width` in `metrics`: the parts before "已插入 ✓"
    // are elided first, so the mark stays whole.
    static QString fittedMetaText(const HistoryRecord& record, bool inserted, const QFontMetricsF& metrics,
                                  qreal width);
};

} // namespace vellamor
