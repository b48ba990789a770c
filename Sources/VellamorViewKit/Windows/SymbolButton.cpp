#include "Windows/SymbolButton.h"

#include "Windows/Symbols.h"

#include <QEvent>

#include <cmath>

namespace vellamor {

SymbolButton::SymbolButton(const QString& symbol, const QString& text, double size, std::function<QColor()> ink,
                           QWidget* parent)
    : QPushButton(text, parent)
    , symbol_(symbol)
    , size_(size)
    , ink_(std::move(ink))
{
    const int side = static_cast<int>(std::ceil(size));
    setIconSize(QSize(side, side));
    applyIcon();
}

void SymbolButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyIcon();
}

void SymbolButton::applyIcon()
{
    setIcon(QIcon(Symbols::pixmap(symbol_, size_, ink_())));
}

} // namespace vellamor
