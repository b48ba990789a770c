#include "HistoryWindows/DictRow.h"

#include "I18n/L10n.h"
#include "Windows/PaintKit.h"
#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace vellamor {

namespace {

constexpr qreal paddingY = 8;
constexpr qreal gap = 12;
constexpr qreal noteSpacing = 3;
constexpr qreal buttonSide = 22;
constexpr qreal buttonSpacing = 6;
constexpr qreal buttonIcon = 13;
constexpr qreal tagPaddingX = 6;
constexpr qreal tagPaddingY = 2;
constexpr qreal arrowSide = 10;
constexpr qreal arrowSpacing = 4;

QFont termFont() { return WindowTheme::font(13, QFont::Medium); }
QFont noteFont() { return WindowTheme::font(11); }
QFont replacementFont() { return WindowTheme::monospacedFont(12); }

void paintButton(QPainter& painter, const QRectF& box, const QString& symbol, bool hot, bool pressed)
{
    if (hot) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(PaintKit::withOpacity(WindowTheme::secondary(), pressed ? 0.22 : 0.12));
        painter.drawRoundedRect(box, 4, 4);
    }
    const QRectF icon(box.center() - QPointF(buttonIcon / 2, buttonIcon / 2), QSizeF(buttonIcon, buttonIcon));
    painter.drawPixmap(icon, Symbols::pixmap(symbol, buttonIcon, hot ? WindowTheme::primary() : WindowTheme::secondary()),
                       QRectF());
}

// Where the edit and remove buttons lie: centred on the term's line at the
// row's right end, whatever the entry holds.
struct ButtonRects {
    QRectF edit;
    QRectF remove;
};

ButtonRects buttonRects(const QRect& row)
{
    const qreal termLine = QFontMetricsF(termFont()).height();
    const qreal right = row.left() + row.width() - DictRow::inset;
    const qreal buttonTop = row.top() + paddingY + (termLine - buttonSide) / 2;
    const QRectF remove(right - buttonSide, buttonTop, buttonSide, buttonSide);
    return {QRectF(remove.left() - buttonSpacing - buttonSide, buttonTop, buttonSide, buttonSide), remove};
}

} // namespace

DictRow::DictRow(EntryAt entryAt, QObject* parent)
    : QStyledItemDelegate(parent)
    , entryAt_(std::move(entryAt))
{
}

DictRow::Layout DictRow::layout(const QRect& row, const DictEntry& entry)
{
    const QFont term = termFont();
    const QFont note = noteFont();
    const QFont replacement = replacementFont();
    const qreal termLine = QFontMetricsF(term).height();
    const qreal left = row.left() + inset;
    const qreal top = row.top() + paddingY;

    Layout result;
    const ButtonRects buttons = buttonRects(row);
    result.edit = buttons.edit;
    result.remove = buttons.remove;
    const qreal textsLimit = result.edit.left() - gap;
    const qreal available = std::max<qreal>(0, textsLimit - left);

    qreal textsWidth = available;
    if (!entry.replacement.isEmpty()) {
        const qreal chrome = tagPaddingX + arrowSide + arrowSpacing + tagPaddingX;
        const qreal natural
            = chrome + QFontMetricsF(replacement).horizontalAdvance(PaintKit::oneLine(entry.replacement));
        const qreal textsNatural = std::max(QFontMetricsF(term).horizontalAdvance(PaintKit::oneLine(entry.term)),
                                            entry.note.isEmpty()
                                                ? 0
                                                : QFontMetricsF(note).horizontalAdvance(PaintKit::oneLine(entry.note)));
        // Each side keeps at least half of a crowded row, and more when the other needs less.
        const qreal width = std::clamp(std::max(available - gap - textsNatural, (available - gap) / 2), qreal(0),
                                       natural);
        result.tag = QRectF(textsLimit - width, top, width, QFontMetricsF(replacement).height() + 2 * tagPaddingY);
        result.replacementText = PaintKit::elidedLine(entry.replacement, replacement, width - chrome);
        textsWidth = std::max<qreal>(0, result.tag.left() - gap - left);
    }
    result.term = QRectF(left, top, textsWidth, termLine);
    result.termText = PaintKit::elidedLine(entry.term, term, textsWidth);
    if (!entry.note.isEmpty()) {
        result.note = QRectF(left, result.term.bottom() + noteSpacing, textsWidth, QFontMetricsF(note).height());
        result.noteText = PaintKit::elidedLine(entry.note, note, textsWidth);
    }
    return result;
}

int DictRow::height(const DictEntry& entry)
{
    qreal content = QFontMetricsF(termFont()).height();
    if (!entry.note.isEmpty())
        content += noteSpacing + QFontMetricsF(noteFont()).height();
    if (!entry.replacement.isEmpty())
        content = std::max(content, QFontMetricsF(replacementFont()).height() + 2 * tagPaddingY);
    // The buttons are centred on the term's line and may reach into the padding.
    return qCeil(paddingY + content + paddingY) + 1;
}

DictRow::Button DictRow::buttonAt(const QRect& row, const QPoint& point)
{
    // Only the buttons' places: this runs on every move of the pointer.
    const ButtonRects buttons = buttonRects(row);
    if (buttons.edit.contains(point))
        return Button::edit;
    if (buttons.remove.contains(point))
        return Button::remove;
    return Button::none;
}

QString DictRow::helpText(Button button)
{
    switch (button) {
    case Button::edit:
        return L10n::Dictionary::editHelp();
    case Button::remove:
        return L10n::Dictionary::deleteHelp();
    case Button::none:
        break;
    }
    return QString();
}

void DictRow::setHot(int row, Button button, bool pressed)
{
    hotRow_ = button == Button::none ? -1 : row;
    hotButton_ = button;
    pressed_ = pressed;
}

QSize DictRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    // A row's height depends only on whether it has a note and a
    // replacement; the view asks for every row at each layout.
    const DictEntry& entry = entryAt_(index.row());
    int& cached = heights_[(entry.note.isEmpty() ? 0 : 1) + (entry.replacement.isEmpty() ? 0 : 2)];
    if (cached == 0)
        cached = height(entry);
    return QSize(1, cached);
}

void DictRow::forgetHeights()
{
    heights_.fill(0);
}

void DictRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const DictEntry& entry = entryAt_(index.row());
    const Layout parts = layout(option.rect, entry);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    painter->setPen(WindowTheme::primary());
    painter->setFont(termFont());
    painter->drawText(parts.term, Qt::AlignLeft | Qt::AlignVCenter, parts.termText);
    if (!parts.noteText.isEmpty()) {
        painter->setPen(WindowTheme::secondary());
        painter->setFont(noteFont());
        painter->drawText(parts.note, Qt::AlignLeft | Qt::AlignVCenter, parts.noteText);
    }
    if (!parts.tag.isEmpty()) {
        painter->fillPath(PaintKit::continuousRoundedRect(parts.tag, 4),
                          PaintKit::withOpacity(WindowTheme::secondary(), 0.1));
        const QRectF arrow(parts.tag.left() + tagPaddingX, parts.tag.center().y() - arrowSide / 2, arrowSide,
                           arrowSide);
        painter->drawPixmap(arrow, Symbols::pixmap(QStringLiteral("arrow.right"), arrowSide, WindowTheme::secondary()),
                            QRectF());
        const qreal textLeft = arrow.right() + arrowSpacing;
        painter->setPen(WindowTheme::primary());
        painter->setFont(replacementFont());
        painter->drawText(QRectF(textLeft, parts.tag.top(), parts.tag.right() - tagPaddingX - textLeft,
                                 parts.tag.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, parts.replacementText);
    }

    const bool hotRow = index.row() == hotRow_;
    paintButton(*painter, parts.edit, QStringLiteral("pencil"), hotRow && hotButton_ == Button::edit, pressed_);
    paintButton(*painter, parts.remove, QStringLiteral("trash"), hotRow && hotButton_ == Button::remove, pressed_);

    const QRect row = option.rect;
    painter->fillRect(QRectF(row.left() + inset, row.top() + row.height() - 1, row.width() - 2 * inset, 1),
                      WindowTheme::divider());
    painter->restore();
}

} // namespace vellamor
