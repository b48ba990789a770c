#pragma once

#include "Overlay/OverlayGlyph.h"

#include <QWidget>

namespace vellamor {

// One symbol as a widget, for rows built with layouts.
class OverlayGlyphView : public QWidget {
    Q_OBJECT

public:
    OverlayGlyphView(OverlayGlyph::Symbol symbol, double size, QFont::Weight weight, QColor color,
                     QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    OverlayGlyph::Symbol symbol_;
    double size_;
    QFont::Weight weight_;
    QColor color_;
};

} // namespace vellamor
