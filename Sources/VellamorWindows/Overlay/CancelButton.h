#pragma once

#include "Overlay/OverlayButton.h"

namespace vellamor {

// A grey cross on a faint circle that abandons the running dictation.
class CancelButton : public OverlayButton {
    Q_OBJECT

public:
    explicit CancelButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellamor
