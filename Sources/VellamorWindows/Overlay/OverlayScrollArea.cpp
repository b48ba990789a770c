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
    // setWidget() fills the content's background, which makes it count as
    // opaque: the island would no longer paint the ground below it, and the
    // translucent content would leave every moved frame behind.
    content->setAutoFillBackground(false);
}

} // namespace vellamor
