#include "InputSourceWindows/InputSourceList.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>

namespace vellamor {

namespace {

QString accessibleText(const InputSource& source)
{
    QStringList parts{InputSourceRow::displayName(source)};
    if (source.status == QStringLiteral("pending"))
        parts.append(QStringLiteral("待确认"));
    parts.append(InputSourceRow::secondaryLine(source, Date::now()));
    return parts.join(QStringLiteral(", "));
}

// Laid over the row being revoked: a small progress bar where its button was.
QWidget* busyMark()
{
    auto* mark = new QWidget();
    mark->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(mark);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    auto* busy = new QProgressBar(mark);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedSize(40, 8);
    layout->addWidget(busy, 0, Qt::AlignVCenter);
    return mark;
}

} // namespace

InputSourceList::InputSourceList(QWidget* parent)
    : QListView(parent)
    , rows_(new PaintedListModel<InputSource>(&InputSourceRow::displayName, &accessibleText, this))
    , painter_(new InputSourceRow([this](int row) -> const InputSource& { return rows_->items().at(row); },
                                  [this](int row) { return rows_->items().at(row).id == revokingID_; }, *this, this))
{
    setModel(rows_);
    setItemDelegate(painter_);
    preparePaintedList(*this);
    setUniformItemSizes(true);
    setFocusPolicy(Qt::TabFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

InputSourceList::~InputSourceList() = default;

void InputSourceList::setSources(const QList<InputSource>& sources, std::optional<qint64> revokingID)
{
    const auto rowOf = [this](std::optional<qint64> id) -> int {
        const QList<InputSource>& items = rows_->items();
        for (int row = 0; id && row < items.size(); ++row) {
            if (items.at(row).id == *id)
                return row;
        }
        return -1;
    };
    if (sources != rows_->items()) {
        hot_ = pressed_ = -1;
        painter_->setHot(-1, false);
        rows_->reset(sources);
        updateGeometry();
    } else if (const int row = rowOf(revokingID_); row >= 0) {
        setIndexWidget(rows_->index(row), nullptr);
    }
    revokingID_ = revokingID;
    if (const int row = rowOf(revokingID); row >= 0)
        setIndexWidget(rows_->index(row), busyMark());
    viewport()->update();
}

const QList<InputSource>& InputSourceList::sources() const
{
    return rows_->items();
}

InputSourceRow::Layout InputSourceList::rowLayout(int row)
{
    executeDelayedItemsLayout();
    return painter_->layout(visualRect(rows_->index(row)), row, Date::now());
}

QSize InputSourceList::sizeHint() const
{
    return QSize(QListView::sizeHint().width(), static_cast<int>(rows_->items().size()) * painter_->height());
}

QSize InputSourceList::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

int InputSourceList::buttonAt(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return -1;
    return painter_->layout(visualRect(index), index.row(), Date::now()).button.contains(point) ? index.row() : -1;
}

void InputSourceList::setHot(int row, bool pressed)
{
    if (row == hot_ && pressed == hotPressed_)
        return;
    for (const int changed : {hot_, row}) {
        if (changed >= 0)
            viewport()->update(visualRect(rows_->index(changed)));
    }
    hot_ = row;
    hotPressed_ = pressed;
    painter_->setHot(row, pressed);
}

void InputSourceList::revoke(int row)
{
    // A copy: the handler may change the sources.
    const InputSource source = rows_->items().at(row);
    if (source.id != revokingID_ && onRevoke)
        onRevoke(source);
}

void InputSourceList::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    pressed_ = event->button() == Qt::LeftButton ? buttonAt(event->position().toPoint()) : -1;
    setHot(pressed_, pressed_ >= 0);
}

void InputSourceList::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void InputSourceList::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const int hit = buttonAt(event->position().toPoint());
    const bool clicked = event->button() == Qt::LeftButton && hit >= 0 && hit == pressed_;
    pressed_ = -1;
    setHot(hit, false);
    if (clicked)
        revoke(hit);
}

void InputSourceList::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const int hit = buttonAt(event->position().toPoint());
    setHot(hit, pressed_ >= 0 && hit == pressed_);
}

void InputSourceList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        if (currentIndex().isValid())
            revoke(currentIndex().row());
        event->accept();
        return;
    default:
        QListView::keyPressEvent(event);
    }
}

bool InputSourceList::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        setHot(-1, false);
    return QListView::viewportEvent(event);
}

void InputSourceList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    showFocus();
}

void InputSourceList::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    showFocus();
}

void InputSourceList::focusOutEvent(QFocusEvent* event)
{
    QListView::focusOutEvent(event);
    showFocus();
}

void InputSourceList::showFocus()
{
    painter_->setFocusRow(hasFocus() && currentIndex().isValid() ? currentIndex().row() : -1);
    viewport()->update();
}

} // namespace vellamor
