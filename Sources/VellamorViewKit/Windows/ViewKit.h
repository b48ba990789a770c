#pragma once

#include "Windows/ThemedLabel.h"

#include <QString>

class QFont;
class QLayout;
class QVBoxLayout;
class QWidget;

namespace vellamor {

// The small builders every window shares, so that a caption, a heading or
// a centred state page reads the same in each.

// A caption in the secondary colour.
ThemedLabel* captionLabel(const QString& text, QWidget* parent);

// A semibold heading of `size` logical pixels in the primary colour.
ThemedLabel* headingLabel(const QString& text, double size, QWidget* parent);

// A wrapping text centred in its column.
ThemedLabel* centredText(const QString& text, const QFont& font, ThemedLabel::Ink ink, QWidget* parent);

// The column of a page that centres its content vertically: it starts with
// a stretch; the caller adds the closing one after the content.
QVBoxLayout* centredColumn(QWidget* page, int spacing);

// Adds `widget` to `column`, centred horizontally.
void addCentred(QVBoxLayout* column, QWidget* widget);

// Empties `layout`, deleting the widgets it held, so a view can refill it.
void clearLayout(QLayout* layout);

} // namespace vellamor
