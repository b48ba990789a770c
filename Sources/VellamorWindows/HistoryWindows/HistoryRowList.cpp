#include "HistoryWindows/HistoryRowList.h"

#include "HistoryWindows/HistoryRowText.h"
#include "HistoryWindows/HistoryViewModel.h"
#include "Windows/PaintKit.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace vellamor {

namespace {

constexpr qreal paddingX = 12;
constexpr qreal paddingY = 9;
constexpr qreal gap = 8;
constexpr qreal pulseColumn = 2;
constexpr qreal pulseDot = 6;
constexpr qreal badgeSide = 18;
constexpr qreal lineSpacing = 6;

const QString typingHint = QStringLiteral("逐字符输入中…");
const QString keyCap = QStringLiteral("↩");
const QString insertHint = QStringLiteral("插入");

// One line of the record's text: what follows a line break goes, as it
// would past the row's end.
QString firstLine(const QString& text)
{
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    return end < 0 ? text : text.left(end) + QStringLiteral("…");
}

} // namespace

class HistoryRowList::RowPainter final : public QStyledItemDelegate {
public:
    RowPainter(HistoryViewModel& model, const PaintedListModel<HistoryRecord>& rows, QObject* parent)
        : QStyledItemDelegate(parent)
        , model_(model)
        , rows_(rows)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        const qreal height = paddingY + QFontMetricsF(textFont()).height() + lineSpacing
                             + QFontMetricsF(metaFont()).height() + paddingY + 1;
        return QSize(1, qCeil(height));
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const HistoryRecord& record = rows_.items().at(index.row());
        const bool inserted = model_.insertedItemIds.value().contains(record.id);
        const bool hovered = model_.hoveredItemId.value() == record.id;
        const bool typing = model_.typingHintItemId.value() == record.id;
        const bool pulsing = model_.pulsingItemId.value() == record.id;

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF row = QRectF(option.rect).adjusted(0, 0, 0, -1);
        if (inserted)
            painter->fillRect(row, PaintKit::withOpacity(WindowTheme::green(), 0.08));
        else if (hovered)
            painter->fillRect(row, PaintKit::withOpacity(WindowTheme::secondary(), 0.08));
        painter->fillRect(QRectF(row.left(), row.bottom(), row.width(), 1),
                          PaintKit::withOpacity(WindowTheme::divider(), 0.4));

        const qreal top = row.top() + paddingY;
        qreal x = row.left() + paddingX;
        if (pulsing) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(WindowTheme::green());
            painter->drawEllipse(QRectF(x + pulseColumn / 2 - pulseDot / 2, top + 7, pulseDot, pulseDot));
        }
        x += pulseColumn + gap;

        const QRectF badge(x, top + 1, badgeSide, badgeSide);
        painter->setPen(Qt::NoPen);
        painter->setBrush(PaintKit::withOpacity(WindowTheme::secondary(), 0.12));
        painter->drawRoundedRect(badge, 4, 4);
        painter->setFont(WindowTheme::font(9, QFont::DemiBold));
        painter->setPen(WindowTheme::secondary());
        const QString label = HistoryRowText::sourceLabel(record);
        painter->drawText(badge, Qt::AlignCenter, HistoryRowText::badgeLetter(label));
        x += badgeSide + gap;

        const qreal right = row.right() - paddingX;
        const qreal textHeight = QFontMetricsF(textFont()).height();
        const qreal hintWidth = typing ? paintTypingHint(painter, right, top, textHeight)
                                       : (hovered ? paintHoverHint(painter, right, top, textHeight) : 0);
        const qreal textRight = hintWidth > 0 ? right - hintWidth - gap : right;
        const QRectF textBox(x, top, qMax<qreal>(0, textRight - x - 4), textHeight);
        painter->setFont(textFont());
        painter->setPen(WindowTheme::primary());
        painter->drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetricsF(textFont())
                              .elidedText(firstLine(HistoryRowText::displayText(record)), Qt::ElideRight,
                                          textBox.width()));

        const QRectF metaBox(x, top + textHeight + lineSpacing, right - x, QFontMetricsF(metaFont()).height());
        painter->setFont(metaFont());
        painter->setPen(WindowTheme::secondary());
        painter->drawText(metaBox, Qt::AlignLeft | Qt::AlignVCenter,
                          HistoryRowText::fittedMetaText(record, inserted, QFontMetricsF(metaFont()), metaBox.width()));
        painter->restore();
    }

private:
    static QFont textFont() { return WindowTheme::font(12.5); }
    static QFont metaFont() { return WindowTheme::font(10.5); }

    // Right-aligned at `right` on the first line; each returns its width.
    static qreal paintTypingHint(QPainter* painter, qreal right, qreal top,
                                 qreal lineHeight)
    {
        QFont font = WindowTheme::font(10);
        font.setItalic(true);
        const qreal width = QFontMetricsF(font).horizontalAdvance(typingHint);
        painter->setFont(font);
        painter->setPen(WindowTheme::secondary());
        painter->drawText(QRectF(right - width, top, width, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
                          typingHint);
        return width;
    }

    static qreal paintHoverHint(QPainter* painter, qreal right, qreal top,
                                qreal lineHeight)
    {
        const QFont labelFont = WindowTheme::font(10);
        QFont capFont = WindowTheme::font(10, QFont::DemiBold);
        capFont.setStyleHint(QFont::Monospace);
        capFont.setFamily(QStringLiteral("monospace"));
        const qreal labelWidth = QFontMetricsF(labelFont).horizontalAdvance(insertHint);
        const QFontMetricsF cap(capFont);
        const QSizeF capSize(cap.horizontalAdvance(keyCap) + 8, cap.height() + 2);
        const qreal width = capSize.width() + 4 + labelWidth;
        const QRectF capBox(right - width, top + (lineHeight - capSize.height()) / 2, capSize.width(),
                            capSize.height());
        painter->setPen(Qt::NoPen);
        painter->setBrush(PaintKit::withOpacity(WindowTheme::secondary(), 0.12));
        painter->drawRoundedRect(capBox, 3, 3);
        painter->setPen(WindowTheme::secondary());
        painter->setFont(capFont);
        painter->drawText(capBox, Qt::AlignCenter, keyCap);
        painter->setFont(labelFont);
        painter->drawText(QRectF(right - labelWidth, top, labelWidth, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
                          insertHint);
        return width;
    }

    HistoryViewModel& model_;
    const PaintedListModel<HistoryRecord>& rows_;
};

HistoryRowList::HistoryRowList(HistoryViewModel& model, QWidget* parent)
    : QListView(parent)
    , model_(model)
    , rows_(new PaintedListModel<HistoryRecord>(&HistoryRowText::displayText, &HistoryRowText::displayText, this))
    , painter_(new RowPainter(model, *rows_, this))
{
    setModel(rows_);
    setItemDelegate(painter_);
    setUniformItemSizes(true);
    preparePaintedList(*this);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

HistoryRowList::~HistoryRowList() = default;

void HistoryRowList::setRecords(const QList<HistoryRecord>& records)
{
    if (records == rows_->items()) {
        viewport()->update();
        return;
    }
    rows_->reset(records);
}

const QList<HistoryRecord>& HistoryRowList::records() const
{
    return rows_->items();
}

void HistoryRowList::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton ? indexAt(event->position().toPoint()) : QModelIndex();
    event->accept();
}

void HistoryRowList::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void HistoryRowList::mouseReleaseEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool clicked = event->button() == Qt::LeftButton && index.isValid() && index == pressed_;
    pressed_ = QModelIndex();
    event->accept();
    if (clicked && onRowClicked)
        onRowClicked(rows_->items().at(index.row()));
}

void HistoryRowList::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    hover(index.isValid() ? std::optional<QUuid>(rows_->items().at(index.row()).id) : std::nullopt);
    event->accept();
}

bool HistoryRowList::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        hover(std::nullopt);
    return QListView::viewportEvent(event);
}

void HistoryRowList::hover(const std::optional<QUuid>& id)
{
    if (id == hovered_)
        return;
    // Leaving a row clears the hovered id whichever row it names by then.
    if (hovered_)
        model_.hoveredItemId = std::nullopt;
    hovered_ = id;
    if (id)
        model_.hoveredItemId = id;
}

} // namespace vellamor
