#pragma once

#include "WidgetRendering.h"

#include <QApplication>
#include <QColor>
#include <QPalette>

namespace vellamor::test {

inline QPalette darkPalette()
{
    QPalette palette;
    const std::pair<QPalette::ColorRole, QRgb> roles[] = {
        {QPalette::Window, 0x1e1e1e},      {QPalette::Button, 0x1e1e1e},     {QPalette::Base, 0x2a2a2a},
        {QPalette::WindowText, 0xf2f2f2},  {QPalette::Text, 0xf2f2f2},       {QPalette::ButtonText, 0xf2f2f2},
        {QPalette::PlaceholderText, 0x98989d}, {QPalette::Highlight, 0x409cff}, {QPalette::Mid, 0x48484a},
        {QPalette::Midlight, 0x3a3a3c},
    };
    for (const auto& [role, colour] : roles)
        palette.setColor(role, QColor(colour));
    return palette;
}

// Draws `view` under a light and a dark application palette as
// `<name>-light.png` and `<name>-dark.png` (see renderView) and returns the
// dark image. The application gets its palette back afterwards.
inline QImage renderForReview(QWidget& view, const QString& name)
{
    // Layouts follow text changes on a later turn.
    settleWidgets();
    view.setAutoFillBackground(true);
    renderView(view, name + QStringLiteral("-light"));
    const QPalette light = QApplication::palette();
    QApplication::setPalette(darkPalette());
    settleWidgets();
    QImage dark = renderView(view, name + QStringLiteral("-dark"));
    QApplication::setPalette(light);
    settleWidgets();
    return dark;
}

} // namespace vellamor::test
