#pragma once

#include <QAbstractButton>

namespace vellamor {

// The overlay's buttons: drawn by the subclass alone (no bezel, no pressed
// highlight), never taking the keyboard focus, so a click leaves the focus
// in the application being typed into. A click emits clicked() once.
class OverlayButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit OverlayButton(QWidget* parent = nullptr);
};

} // namespace vellamor
