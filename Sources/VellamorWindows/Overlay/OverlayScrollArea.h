#pragma once

#include <QScrollArea>

namespace vellamor {

// A scroll view for the overlay's texts: no frame, no scroll bars, no
// background of its own, no keyboard focus. The wheel still scrolls it.
class OverlayScrollArea : public QScrollArea {
    Q_OBJECT

public:
    // Shows `content`, as wide as the view and as high as it needs.
    explicit OverlayScrollArea(QWidget* content, QWidget* parent = nullptr);
};

} // namespace vellamor
