#include "Overlay/OverlayButton.h"

namespace vellamor {

OverlayButton::OverlayButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::ArrowCursor);
}

} // namespace vellamor
