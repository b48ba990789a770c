#include "Overlay/OverlayGlyphView.h"

#include <QPainter>

#include <cmath>

namespace vellamor {

OverlayGlyphView::OverlayGlyphView(OverlayGlyph::Symbol symbol, double size, QFont::Weight weight, QColor color,
                                   QWidget* parent)
    : QWidget(parent)
    , symbol_(symbol)
    , size_(size)
    , weight_(weight)
    , color_(std::move(color))
{
    setAttribute(Qt::WA_TranslucentBackground);
    const int side = static_cast<int>(std::ceil(size));
    setFixedSize(side, side);
}

void OverlayGlyphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    OverlayGlyph::paint(painter, symbol_, QRectF(rect()), size_, weight_, color_);
}

} // namespace vellamor
