#pragma once

#include "Overlay/OverlayButton.h"

#include <QColor>
#include <QString>

namespace vellamor {

// A short coloured text on a capsule of the same colour, faint; the capsule
// is what reacts to clicks, and the text is also its tooltip.
class ActionPill : public OverlayButton {
    Q_OBJECT

public:
    ActionPill(const QString& text, QColor color, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    QColor color_;
};

} // namespace vellamor
