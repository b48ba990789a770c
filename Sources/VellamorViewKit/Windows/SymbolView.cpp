#include "Windows/SymbolView.h"

#include "Windows/Symbols.h"

#include <QPainter>

#include <cmath>

namespace vellamor {

SymbolView::SymbolView(const QString& name, double size, std::function<QColor()> ink, QWidget* parent)
    : QWidget(parent)
    , name_(name)
    , size_(size)
    , ink_(std::move(ink))
{
}

void SymbolView::setInk(std::function<QColor()> ink)
{
    ink_ = std::move(ink);
    update();
}

QSize SymbolView::sizeHint() const
{
    const int side = static_cast<int>(std::ceil(size_));
    return {side, side};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPointF centre = QRectF(rect()).center();
    Symbols::paint(painter, QRectF(centre.x() - size_ / 2, centre.y() - size_ / 2, size_, size_), name_, ink_());
}

} // namespace vellamor
