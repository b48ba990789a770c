#pragma once

#include "Overlay/IslandShape.h"
#include "Support/Async/Published.h"

#include <QPainterPath>
#include <QVariantAnimation>
#include <QWidget>

class QGraphicsOpacityEffect;

namespace vellamor {

class DoneRow;
class ExpandedRow;
class OverlayViewModel;
class PillRow;

// The recording overlay's island: a black rounded shape, with the segmented
// progress behind its row while the session is transcribed, and a border
// coloured by the shape. It fills whatever size it is given (the overlay's
// panel is sized from the model's shape) and shapes itself to the island
// with a mask, so it looks right without a compositor. It redraws on every
// change of the model and writes back only the hover and the pin.
class IslandOverlayView : public QWidget {
    Q_OBJECT

public:
    // `model` must outlive the view.
    explicit IslandOverlayView(OverlayViewModel& model, QWidget* parent = nullptr);

    // 22 expanded, 13 hidden, 16 otherwise.
    static double cornerRadius(const IslandShape& shape);

    // The panel's size for `shape` of the model as it is now: the warn and
    // failed shapes grow, up to the expanded width, until their text fits.
    QSizeF panelSize(const IslandShape& shape);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // `entrances` is false for the first drawing, which shows the model as it is.
    void refresh(bool entrances);
    void moveTo(const IslandShape& shape);
    double shownRadius() const;
    double shownOpacity() const;
    double shownProgress() const;
    QPainterPath outline() const;
    void updateMask();

    OverlayViewModel& model_;
    IslandShape shape_ = IslandShape::hidden();
    QWidget* content_;
    QGraphicsOpacityEffect* contentOpacity_;
    PillRow* pill_;
    ExpandedRow* expanded_;
    DoneRow* done_;
    // Corner radius and opacity spring from one shape to the next.
    QVariantAnimation shapeMotion_;
    double radiusFrom_;
    double opacityFrom_ = 1;
    // The progress eases toward the model's while it is drawn.
    QVariantAnimation progressMotion_;
    bool drawsProgress_ = false;
    Subscription changes_;
};

} // namespace vellamor
