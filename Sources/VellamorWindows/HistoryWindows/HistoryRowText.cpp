#include "HistoryWindows/HistoryRowText.h"

#include "Support/TextGraphemes.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace vellamor {

QString HistoryRowText::displayText(const HistoryRecord& record)
{
    if (record.polishedText && !record.polishedText->isEmpty())
        return *record.polishedText;
    if (!record.recognizedText.isEmpty())
        return record.recognizedText;
    return record.text;
}

QString HistoryRowText::sourceLabel(const HistoryRecord& record)
{
    if (!record.sourceApp || record.sourceApp->isEmpty())
        return QStringLiteral("未知 App");
    const QStringList segments = record.sourceApp->split(QLatin1Char('.'), Qt::SkipEmptyParts);
    return segments.isEmpty() ? *record.sourceApp : segments.last();
}

QString HistoryRowText::badgeLetter(const QString& sourceLabel)
{
    const QString first = graphemePrefix(sourceLabel.trimmed(), 1);
    return first.isEmpty() ? QStringLiteral("?") : first.toUpper();
}

QString HistoryRowText::metaText(const HistoryRecord& record, bool inserted)
{
    const QDateTime created = QDateTime::fromMSecsSinceEpoch(record.createdAt.toUnixMilliseconds());
    QStringList parts{QLocale().toString(created, QStringLiteral("MM-dd HH:mm")), sourceLabel(record)};
    if (record.polishedText)
        parts.append(QStringLiteral("含识别/润色"));
    if (inserted)
        parts.append(QStringLiteral("已插入 ✓"));
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" · "));
}

QString HistoryRowText::fittedMetaText(const HistoryRecord& record, bool inserted, const QFontMetricsF& metrics,
                                       qreal width)
{
    const QString whole = metaText(record, inserted);
    if (!inserted || metrics.horizontalAdvance(whole) <= width)
        return metrics.elidedText(whole, Qt::ElideRight, width);
    const QString mark = QStringLiteral(" · 已插入 ✓");
    const qreal left = width - metrics.horizontalAdvance(mark);
    const QString head = metrics.elidedText(metaText(record, false), Qt::ElideRight, qMax<qreal>(0, left));
    return head.isEmpty() ? metrics.elidedText(mark.mid(3), Qt::ElideRight, width) : head + mark;
}

} // namespace vellamor
