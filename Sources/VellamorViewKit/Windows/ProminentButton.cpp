#include "Windows/ProminentButton.h"

#include "Windows/PaintKit.h"
#include "Windows/Symbols.h"
#include "Windows/WindowTheme.h"

#include <QEvent>

#include <cmath>

namespace vellamor {

namespace {

// WCAG's relative luminance.
double luminance(const QColor& color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

// The tint, darkened until white text on it reads at 4.5:1 or better.
QColor groundFor(QColor tint)
{
    while ((1.05) / (luminance(tint) + 0.05) < 4.5)
        tint = tint.darker(108);
    return tint;
}

} // namespace

ProminentButton::ProminentButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
    , tint_(&WindowTheme::blue)
{
    setFont(WindowTheme::font(13, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setAutoDefault(false);
    applyLook();
}

void ProminentButton::setTint(Tint tint)
{
    tint_ = std::move(tint);
    applyLook();
}

void ProminentButton::setSymbol(const QString& symbol, double size)
{
    const int side = static_cast<int>(std::ceil(size));
    setIconSize(QSize(side, side));
    setIcon(QIcon(Symbols::pixmap(symbol, size, Qt::white)));
}

void ProminentButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyLook();
}

void ProminentButton::applyLook()
{
    const QColor tint = groundFor(tint_());
    const QString look = QStringLiteral("QPushButton { color: white; background: %1; border: none; border-radius: 6px;"
                                        " padding: 6px 14px; }"
                                        "QPushButton:pressed { background: %2; }"
                                        "QPushButton:disabled { color: %3; background: %4; }")
                             .arg(tint.name(), tint.darker(115).name(),
                                  PaintKit::withOpacity(Qt::white, 0.55).name(QColor::HexArgb),
                                  PaintKit::withOpacity(tint, 0.4).name(QColor::HexArgb));
    // Setting a style sheet changes the palette too: only a new look is set.
    if (styleSheet() != look)
        setStyleSheet(look);
}

} // namespace vellamor
