#include "Diagnostics/BrandLogo.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace vellamor {

namespace {

struct Rgb {
    qreal red, green, blue;

    QColor at(qreal opacity = 1.0) const { return QColor::fromRgbF(float(red), float(green), float(blue), float(opacity)); }
};

constexpr Rgb deepViolet{0.10, 0.08, 0.25};
constexpr Rgb nightBlue{0.04, 0.03, 0.12};
constexpr Rgb nearBlack{0.01, 0.01, 0.04};
constexpr Rgb warmWhite{1.00, 0.91, 0.84};
constexpr Rgb pink{1.00, 0.48, 0.71};
constexpr Rgb violet{0.65, 0.55, 0.98};
constexpr Rgb skyBlue{0.31, 0.76, 0.97};
constexpr Rgb amber{1.00, 0.71, 0.28};
constexpr Rgb coral{1.00, 0.42, 0.42};
constexpr Rgb white{1.0, 1.0, 1.0};

constexpr qreal cornerRadius = 0.22;
constexpr qreal shadowRadius = 0.08;
constexpr qreal shadowOffset = 0.04;
constexpr qreal shadowOpacity = 0.28;
constexpr qreal rimWidth = 0.8;

struct Dot {
    qreal x, y, radius;
    int paletteIndex;
};

constexpr std::array<Rgb, 6> dotPalette{skyBlue, violet, amber, coral, warmWhite, pink};
constexpr std::array<Dot, 8> dots{{
    {0.224, 0.293, 0.0039, 0},
    {0.771, 0.303, 0.0039, 1},
    {0.752, 0.742, 0.0039, 2},
    {0.234, 0.752, 0.0039, 3},
    {0.498, 0.146, 0.0029, 4},
    {0.498, 0.859, 0.0029, 4},
    {0.146, 0.488, 0.0029, 1},
    {0.85, 0.498, 0.0029, 5},
}};

struct RaySet {
    std::array<Rgb, 3> colours;
    qreal width, halfLength;
};

constexpr RaySet mainRays{{skyBlue, violet, pink}, 0.041, 0.39};
constexpr RaySet secondaryRays{{coral, amber, skyBlue}, 0.025, 0.33};

// Colours spread at equal distances, in order.
void spread(QGradient& gradient, std::initializer_list<QColor> colours)
{
    const qreal last = qreal(colours.size() - 1);
    qreal index = 0;
    for (const QColor& colour : colours)
        gradient.setColorAt(index++ / last, colour);
}

QPainterPath roundedSquare(const QRectF& rect, qreal side)
{
    QPainterPath path;
    path.addRoundedRect(rect, cornerRadius * side, cornerRadius * side);
    return path;
}

void fillCircle(QPainter& painter, QPointF centre, qreal radius, const QBrush& brush)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawEllipse(centre, radius, radius);
}

void paintRays(QPainter& painter, QPointF centre, qreal side, const RaySet& set)
{
    const qreal halfWidth = set.width * side / 2;
    const qreal halfLength = set.halfLength * side;
    QPainterPath rhombus;
    rhombus.moveTo(0, -halfLength);
    rhombus.lineTo(halfWidth, 0);
    rhombus.lineTo(0, halfLength);
    rhombus.lineTo(-halfWidth, 0);
    rhombus.closeSubpath();
    for (int ray = 0; ray < 3; ++ray) {
        const Rgb& colour = set.colours[std::size_t(ray)];
        // From the centre to the tip; the lower half keeps the first colour.
        QLinearGradient gradient(0, 0, 0, -halfLength);
        spread(gradient, {warmWhite.at(0.95), colour.at(0.65), colour.at(0)});
        painter.save();
        painter.translate(centre);
        painter.rotate(ray * 60.0);
        painter.fillPath(rhombus, gradient);
        painter.restore();
    }
}

// One pass of a box filter of half-width `radius` along a line of
// premultiplied pixels; outside the line counts as transparent.
void boxPass(quint32* line, int count, qsizetype stride, int radius, std::vector<quint32>& scratch)
{
    scratch.resize(std::size_t(count));
    for (int i = 0; i < count; ++i)
        scratch[std::size_t(i)] = line[i * stride];
    const int window = 2 * radius + 1;
    std::array<int, 4> sum{};
    const auto add = [&](int index, int sign) {
        if (index < 0 || index >= count)
            return;
        const quint32 pixel = scratch[std::size_t(index)];
        for (int channel = 0; channel < 4; ++channel)
            sum[std::size_t(channel)] += sign * int((pixel >> (8 * channel)) & 0xff);
    };
    for (int i = 0; i <= radius; ++i)
        add(i, 1);
    for (int i = 0; i < count; ++i) {
        quint32 pixel = 0;
        for (int channel = 0; channel < 4; ++channel)
            pixel |= quint32((sum[std::size_t(channel)] + window / 2) / window) << (8 * channel);
        line[i * stride] = pixel;
        add(i + radius + 1, 1);
        add(i - radius, -1);
    }
}

// A Gaussian blur of standard deviation `sigma` pixels, close enough:
// three box passes of half-width w spread like a Gaussian of sqrt(w(w+1)).
void blur(QImage& image, qreal sigma)
{
    const int radius = int(std::lround(sigma));
    if (radius <= 0)
        return;
    auto* pixels = reinterpret_cast<quint32*>(image.bits());
    const qsizetype rowStride = image.bytesPerLine() / 4;
    std::vector<quint32> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < image.height(); ++y)
            boxPass(pixels + y * rowStride, image.width(), 1, radius, scratch);
        for (int x = 0; x < image.width(); ++x)
            boxPass(pixels + x, image.height(), rowStride, radius, scratch);
    }
}

// Blur radii are read like a CSS blur: the spread reaches the radius, the
// standard deviation is half of it.
qreal sigmaFor(qreal radius, qreal scale)
{
    return radius * scale / 2;
}

QImage transparentImage(QSizeF logicalSize, qreal scale)
{
    QImage image(std::max(1, int(std::ceil(logicalSize.width() * scale))),
                 std::max(1, int(std::ceil(logicalSize.height() * scale))), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A layer drawn on its own within `reach` of `centre`, blurred, then laid
// onto the stack. Only that square is rasterised, with room for the blur.
template<typename Draw>
void paintBlurredLayer(QPainter& stack, QPointF centre, qreal reach, qreal scale, qreal blurRadius, qreal opacity,
                       Draw draw)
{
    const qreal sigma = sigmaFor(blurRadius, scale);
    // Three box passes spread a pixel by three half-widths.
    const qreal padding = 3 * std::lround(sigma) / scale + 1 / scale;
    const qreal half = reach + padding;
    // On whole device pixels, so the layer lands where it was drawn.
    const QPointF corner(std::floor((centre.x() - half) * scale) / scale, std::floor((centre.y() - half) * scale) / scale);
    const QRectF area(corner, QSizeF(2 * half + 1 / scale, 2 * half + 1 / scale));
    QImage layer = transparentImage(area.size(), scale);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.translate(-area.topLeft());
        draw(painter);
    }
    blur(layer, sigma);
    stack.save();
    stack.setOpacity(opacity);
    stack.drawImage(QRectF(area.topLeft(), QSizeF(layer.size()) / scale), layer);
    stack.restore();
}

// Everything inside the rounded square, in a frame at the origin.
QImage paintStack(QSizeF size, qreal scale)
{
    const QRectF frame(QPointF(0, 0), size);
    const qreal side = std::min(size.width(), size.height());
    const QPointF centre = frame.center();
    const QPainterPath square = roundedSquare(frame, side);

    QImage image = transparentImage(size, scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);

    QRadialGradient background(centre, 0.55 * side);
    spread(background, {deepViolet.at(), nightBlue.at(), nearBlack.at()});
    painter.fillPath(square, background);

    paintBlurredLayer(painter, centre, 0.45 * side, scale, 0.02 * side, 1.0, [&](QPainter& layer) {
        QRadialGradient glow(centre, 0.45 * side);
        spread(glow, {warmWhite.at(0.55), pink.at(0.40), violet.at(0.22), skyBlue.at(0)});
        fillCircle(layer, centre, 0.45 * side, glow);
    });
    paintBlurredLayer(painter, centre, mainRays.halfLength * side, scale, 0.012 * side, 1.0,
                      [&](QPainter& layer) { paintRays(layer, centre, side, mainRays); });
    // Turned to sit between the main rays.
    paintBlurredLayer(painter, centre, secondaryRays.halfLength * side, scale, 0.012 * side, 0.55,
                      [&](QPainter& layer) {
        layer.translate(centre);
        layer.rotate(30);
        layer.translate(-centre);
        paintRays(layer, centre, side, secondaryRays);
    });

    QRadialGradient core(centre, 0.22 * side);
    spread(core, {white.at(), warmWhite.at(), amber.at(0.8), pink.at(0.35), violet.at(0)});
    fillCircle(painter, centre, 0.21 * side, core);
    fillCircle(painter, centre, 0.085 * side, white.at(0.95));

    for (const Dot& dot : dots) {
        fillCircle(painter, QPointF(dot.x * size.width(), dot.y * size.height()), dot.radius * side,
                   dotPalette[std::size_t(dot.paletteIndex)].at(0.85));
    }

    // The rim keeps its width at every size, drawn just inside the edge.
    const qreal inset = rimWidth / 2;
    QPainterPath rim;
    rim.addRoundedRect(frame.adjusted(inset, inset, -inset, -inset), cornerRadius * side - inset,
                       cornerRadius * side - inset);
    painter.setPen(QPen(white.at(0.1), rimWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rim);

    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillPath(square, Qt::black);
    return image;
}

} // namespace

QMarginsF BrandLogo::shadowMargins(qreal side)
{
    const qreal spread = shadowRadius * side;
    const qreal drop = shadowOffset * side;
    return {spread, std::max<qreal>(0, spread - drop), spread, spread + drop};
}

void BrandLogo::paint(QPainter& painter, const QRectF& frame)
{
    if (frame.isEmpty())
        return;
    const qreal scale = std::max<qreal>(1e-3, std::hypot(painter.deviceTransform().m11(), painter.deviceTransform().m12()));
    const qreal side = std::min(frame.width(), frame.height());
    const QImage stack = paintStack(frame.size(), scale);

    const QMarginsF margins = shadowMargins(side);
    const QRectF shadowArea = frame.marginsAdded(margins);
    QImage shadow = transparentImage(shadowArea.size(), scale);
    {
        QPainter shadowPainter(&shadow);
        shadowPainter.scale(scale, scale);
        shadowPainter.drawImage(QRectF(QPointF(margins.left(), margins.top() + shadowOffset * side), frame.size()),
                                stack);
        shadowPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        shadowPainter.fillRect(QRectF(QPointF(0, 0), shadowArea.size()), Qt::black);
    }
    blur(shadow, sigmaFor(shadowRadius * side, scale));

    painter.save();
    painter.setOpacity(painter.opacity() * shadowOpacity);
    painter.drawImage(shadowArea, shadow);
    painter.restore();
    painter.drawImage(frame, stack);
}

QImage BrandLogo::renderIcon(int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // The shadow reaches as far sideways as the logo's top and bottom margins
    // together, so the logo and its shadow fill a square.
    const QMarginsF unit = shadowMargins(1.0);
    const qreal side = pixels / (1.0 + unit.left() + unit.right());
    QPainter painter(&image);
    BrandLogo::paint(painter, QRectF(unit.left() * side, unit.top() * side, side, side));
    return image;
}

BrandLogoView::BrandLogoView(qreal side, QWidget* parent)
    : QWidget(parent)
    , side_(side)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize BrandLogoView::sizeHint() const
{
    const QMarginsF margins = BrandLogo::shadowMargins(side_);
    return QSizeF(side_ + margins.left() + margins.right(), side_ + margins.top() + margins.bottom())
        .toSize()
        .expandedTo(QSize(1, 1));
}

QRectF BrandLogoView::logoRect() const
{
    const QMarginsF margins = BrandLogo::shadowMargins(side_);
    const qreal top = (height() - (side_ + margins.top() + margins.bottom())) / 2 + margins.top();
    return {(width() - side_) / 2, top, side_, side_};
}

void BrandLogoView::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (cache_.size() != pixels || cache_.devicePixelRatio() != ratio) {
        cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        cache_.setDevicePixelRatio(ratio);
        cache_.fill(Qt::transparent);
        QPainter painter(&cache_);
        BrandLogo::paint(painter, logoRect());
    }
    QPainter(this).drawImage(QPointF(0, 0), cache_);
}

} // namespace vellamor
