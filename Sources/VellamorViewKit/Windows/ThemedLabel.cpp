#include "Windows/ThemedLabel.h"

#include <QEvent>

namespace vellamor {

ThemedLabel::ThemedLabel(const QString& text, const QFont& font, Ink ink, QWidget* parent)
    : QLabel(text, parent)
    , ink_(std::move(ink))
{
    setFont(font);
    // What a label shows may come from a server, a phone, a file or the
    // user: markup in it is text to read, never a format to apply.
    setTextFormat(Qt::PlainText);
    // Inside a button a label would otherwise draw in the button's text
    // colour, not its ink.
    setForegroundRole(QPalette::WindowText);
    applyInk();
}

void ThemedLabel::setInk(Ink ink)
{
    ink_ = std::move(ink);
    applyInk();
}

void ThemedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyInk();
}

void ThemedLabel::applyInk()
{
    const QColor color = ink_();
    if (palette().color(QPalette::WindowText) == color)
        return;
    QPalette ink = palette();
    ink.setColor(QPalette::WindowText, color);
    ink.setColor(QPalette::Text, color);
    setPalette(ink);
}

} // namespace vellamor
