#include "Overlay/OverlayLabel.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vellamor {

namespace {

// What any line of the overlay can hold, with room to spare: its narrowest
// glyphs are a few pixels wide.
constexpr qsizetype unitsPerLine = 256;
// Unlimited texts scroll; a couple of thousand characters is more than a
// dictation session can produce.
constexpr qsizetype unlimitedUnits = 2048;

QString shownPart(const QString& text, int lineLimit)
{
    const qsizetype limit = lineLimit == OverlayLabel::unlimited ? unlimitedUnits : unitsPerLine * lineLimit;
    QString shown = text;
    if (text.size() > limit) {
        // Never half a surrogate pair.
        const qsizetype cut = text.at(limit - 1).isHighSurrogate() ? limit - 1 : limit;
        shown = text.left(cut);
        if (lineLimit == OverlayLabel::unlimited)
            shown.append(QChar(0x2026));
    }
    if (lineLimit == 1)
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    else
        shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return shown;
}

} // namespace

OverlayLabel::OverlayLabel(QFont font, QColor color, int lineLimit, QWidget* parent)
    : QWidget(parent)
    , font_(std::move(font))
    , color_(std::move(color))
    , lineLimit_(lineLimit)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(lineLimit_ != 1);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TranslucentBackground);
}

void OverlayLabel::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    shown_ = shownPart(text_, lineLimit_);
    laidOut_.clear();
    updateGeometry();
    update();
}

void OverlayLabel::setColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

void OverlayLabel::setHorizontalAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

QStringList OverlayLabel::linesForWidth(double width) const
{
    constexpr qsizetype widthsKept = 4;
    const auto kept
        = std::find_if(laidOut_.begin(), laidOut_.end(), [width](const auto& entry) { return entry.first == width; });
    if (kept != laidOut_.end()) {
        const QStringList lines = kept->second;
        laidOut_.move(kept - laidOut_.begin(), 0);
        return lines;
    }
    if (laidOut_.size() == widthsKept)
        laidOut_.removeLast();
    laidOut_.prepend({width, layOut(width)});
    return laidOut_.first().second;
}

QStringList OverlayLabel::layOut(double width) const
{
    const QFontMetricsF metrics(font_);
    const QString& flat = shown_;
    if (lineLimit_ == 1)
        return {metrics.elidedText(flat, Qt::ElideRight, width)};

    QTextLayout layout(flat, font_);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lineLimit_ != unlimited && lines.size() == lineLimit_ - 1) {
            // The rest of the text, cut to what the last line holds.
            QString rest = flat.mid(line.textStart());
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            lines.append(metrics.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(flat.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    return lines;
}

int OverlayLabel::heightForLines(qsizetype lines) const
{
    const QMarginsF margins = contentsMargins();
    return static_cast<int>(
        std::ceil(static_cast<double>(lines) * QFontMetricsF(font_).lineSpacing() + margins.top() + margins.bottom()));
}

int OverlayLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const qsizetype lines = text_.isEmpty() ? 1 : linesForWidth(width - margins.left() - margins.right()).size();
    return heightForLines(lines);
}

QSize OverlayLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    // A line never holds more than unitsPerLine units: measuring further tells nothing.
    const double natural = QFontMetricsF(font_).horizontalAdvance(shown_.left(unitsPerLine));
    return {static_cast<int>(std::ceil(natural)) + margins.left() + margins.right(), heightForLines(1)};
}

QSize OverlayLabel::minimumSizeHint() const
{
    return {0, heightForLines(1)};
}

void OverlayLabel::paintEvent(QPaintEvent* event)
{
    const QRectF area = contentsRect();
    const QFontMetricsF metrics(font_);
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font_);
    painter.setPen(color_);
    const QStringList lines = linesForWidth(area.width());
    // With one line the text is centred vertically in what it was given.
    double baseline = area.top() + metrics.ascent();
    if (lines.size() == 1)
        baseline = area.center().y() - metrics.height() / 2 + metrics.ascent();
    // A long text scrolls: only the lines in sight are drawn.
    const QRectF dirty = event->rect();
    for (const QString& line : lines) {
        const double top = baseline - metrics.ascent();
        if (top > dirty.bottom())
            break;
        if (top + metrics.lineSpacing() < dirty.top()) {
            baseline += metrics.lineSpacing();
            continue;
        }
        double x = area.left();
        if (alignment_ & Qt::AlignRight)
            x = area.right() - metrics.horizontalAdvance(line);
        painter.drawText(QPointF(x, baseline), line);
        baseline += metrics.lineSpacing();
    }
}

} // namespace vellamor
