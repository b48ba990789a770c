#include "Windows/PaintedList.h"

#include <QListView>

namespace vellamor {

void preparePaintedList(QListView& list)
{
    list.setSelectionMode(QAbstractItemView::NoSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.setFrameShape(QFrame::NoFrame);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list.viewport()->setMouseTracking(true);
    list.viewport()->setAutoFillBackground(false);
}

} // namespace vellamor
