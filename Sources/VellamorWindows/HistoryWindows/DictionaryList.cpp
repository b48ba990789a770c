#include "HistoryWindows/DictionaryList.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

namespace vellamor {

namespace {

QString accessibleText(const DictEntry& entry)
{
    QStringList parts{entry.term};
    for (const QString& more : {entry.replacement, entry.note}) {
        if (!more.isEmpty())
            parts.append(more);
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

DictionaryList::DictionaryList(QWidget* parent)
    : QListView(parent)
    , rows_(new PaintedListModel<DictEntry>([](const DictEntry& entry) { return entry.term; }, &accessibleText, this))
    , painter_(new DictRow([this](int row) -> const DictEntry& { return rows_->items().at(row); }, this))
{
    setModel(rows_);
    setItemDelegate(painter_);
    preparePaintedList(*this);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setViewportMargins(0, 8, 0, 8);
}

DictionaryList::~DictionaryList() = default;

void DictionaryList::setEntries(const QList<DictEntry>& entries)
{
    if (entries == rows_->items())
        return;
    hot_ = pressed_ = Hit();
    painter_->setHot(-1, DictRow::Button::none, false);
    rows_->reset(entries);
}

const QList<DictEntry>& DictionaryList::entries() const
{
    return rows_->items();
}

DictRow::Layout DictionaryList::rowLayout(int row)
{
    const QModelIndex index = rows_->index(row);
    executeDelayedItemsLayout();
    scrollTo(index);
    return DictRow::layout(visualRect(index), rows_->items().at(row));
}

DictionaryList::Hit DictionaryList::hitAt(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return {};
    const DictRow::Button button = DictRow::buttonAt(visualRect(index), point);
    return button == DictRow::Button::none ? Hit() : Hit{index.row(), button};
}

void DictionaryList::setHot(const Hit& hit, bool pressed)
{
    if (hit == hot_ && pressed == hotPressed_)
        return;
    for (const int row : {hot_.row, hit.row}) {
        if (row >= 0)
            viewport()->update(visualRect(rows_->index(row)));
    }
    hot_ = hit;
    hotPressed_ = pressed;
    painter_->setHot(hit.row, hit.button, pressed);
    viewport()->setCursor(hit.row >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void DictionaryList::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    pressed_ = event->button() == Qt::LeftButton ? hitAt(event->position().toPoint()) : Hit();
    setHot(pressed_, pressed_.row >= 0);
}

void DictionaryList::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void DictionaryList::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const Hit hit = hitAt(event->position().toPoint());
    const bool clicked = event->button() == Qt::LeftButton && hit.row >= 0 && hit == pressed_;
    pressed_ = Hit();
    setHot(hit, false);
    if (!clicked)
        return;
    // A copy: the handler may change the entries.
    const DictEntry entry = rows_->items().at(hit.row);
    const auto& handler = hit.button == DictRow::Button::edit ? onEdit : onRemove;
    if (handler)
        handler(entry);
}

void DictionaryList::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const Hit hit = hitAt(event->position().toPoint());
    setHot(hit, pressed_.row >= 0 && hit == pressed_);
}

bool DictionaryList::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        setHot(Hit(), false);
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const Hit hit = hitAt(help->pos());
        if (hit.row >= 0)
            QToolTip::showText(help->globalPos(), DictRow::helpText(hit.button), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QListView::viewportEvent(event);
}

void DictionaryList::changeEvent(QEvent* event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        painter_->forgetHeights();
        scheduleDelayedItemsLayout();
    }
}

} // namespace vellamor
