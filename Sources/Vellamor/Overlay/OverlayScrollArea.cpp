#include "Overlay/OverlayScrollArea.h"

namespace vellamor {

OverlayScrollArea::OverlayScrollArea(QWidget* content, QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    content->setAttribute(Qt::WA_TranslucentBackground);
    setWidget(content);
}

} // namespace vellamor
