#pragma once

#include "Overlay/OverlayButton.h"

#include <QString>

namespace vellamor {

// The small capsule button of a pinned result's text row. The prominent
// one (the row whose text was inserted) is filled in the success colour.
class PinnedTextActionButton : public OverlayButton {
    Q_OBJECT

public:
    PinnedTextActionButton(const QString& title, bool prominent, QWidget* parent = nullptr);

    bool isProminent() const { return prominent_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool prominent_;
};

} // namespace vellamor
