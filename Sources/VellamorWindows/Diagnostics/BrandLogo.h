#pragma once

#include <QImage>
#include <QMarginsF>
#include <QRectF>
#include <QSize>
#include <QWidget>

class QPainter;

namespace vellamor {

// The product's logo: a dark rounded square with a soft glow, two crossed
// stars of light rays, a bright core and eight coloured dots. Every measure
// is a fraction of the smaller side of the frame it fills, so it scales to
// any size; only the dots are placed by fractions of the full width and
// height. The drop shadow falls outside the frame.
class BrandLogo {
public:
    BrandLogo() = delete;

    // Draws the logo filling `frame` (logical units of `painter`), with its
    // shadow around it. Blurred layers are rasterised at the painter's
    // device resolution.
    static void paint(QPainter& painter, const QRectF& frame);

    // How far the shadow reaches beyond a frame whose smaller side is `side`.
    static QMarginsF shadowMargins(qreal side);

    // A square, transparent image of `pixels`, the logo centred in it with
    // room left for its shadow: what the desktop shows as the app's icon.
    static QImage renderIcon(int pixels);
};

// Shows the logo at a fixed side, with room for its shadow. Drawn once per
// size and screen resolution: the logo never changes.
class BrandLogoView : public QWidget {
public:
    explicit BrandLogoView(qreal side, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // Where the logo itself is drawn, without the shadow's margins.
    QRectF logoRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal side_;
    QImage cache_;
};

} // namespace vellamor
