#include "Auth/AuthStyle.h"

#include <QPalette>

namespace vellamor::AuthStyle {

using namespace Qt::StringLiterals;

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor accent(const QPalette& palette)
{
    return palette.color(QPalette::Highlight);
}

QColor secondary(const QPalette& palette)
{
    return palette.color(QPalette::PlaceholderText);
}

QString tabStyleSheet(const QPalette& palette, bool selected)
{
    QColor fill = accent(palette);
    fill.setAlphaF(selected ? 0.15f : 0.0f);
    const QColor text = selected ? accent(palette) : secondary(palette);
    return u"QPushButton { border: none; border-radius: 6px; padding: 4px 10px; background: %1; color: %2; }"_s.arg(
        fill.name(QColor::HexArgb), text.name(QColor::HexArgb));
}

QString linkStyleSheet(const QPalette& palette)
{
    return u"QPushButton { border: none; padding: 0; color: %1; } QPushButton:disabled { color: %2; }"_s.arg(
        accent(palette).name(QColor::HexArgb), secondary(palette).name(QColor::HexArgb));
}

} // namespace vellamor::AuthStyle
