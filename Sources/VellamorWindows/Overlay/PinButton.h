#pragma once

#include "Overlay/OverlayButton.h"

namespace vellamor {

// A pin that keeps a finished dictation's island on screen; drawn filled in
// the success colour while pinned.
class PinButton : public OverlayButton {
    Q_OBJECT

public:
    explicit PinButton(QWidget* parent = nullptr);

    void setPinned(bool pinned);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool pinned_ = false;
};

} // namespace vellamor
