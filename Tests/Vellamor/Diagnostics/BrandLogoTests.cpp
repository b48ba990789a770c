#include "Diagnostics/BrandLogo.h"

#include <QDir>
#include <QPainter>
#include <QVector3D>

#include <gmock/gmock.h>

#include <cmath>
#include <numbers>
#include <string_view>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

// The logo in `frame`-sized logical units with room for its shadow; pixels
// are read at positions relative to the frame.
class Rendered {
public:
    Rendered(QSizeF frame, const QString& name)
        : side_(std::min(frame.width(), frame.height()))
        , margins_(BrandLogo::shadowMargins(side_))
        , image_(frame.grownBy(margins_).toSize(), QImage::Format_ARGB32_Premultiplied)
    {
        image_.fill(Qt::transparent);
        QPainter painter(&image_);
        BrandLogo::paint(painter, QRectF(QPointF(margins_.left(), margins_.top()), frame));
        const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            image_.save(folder + u"/brand-logo-"_s + name + u".png"_s);
    }

    qreal side() const { return side_; }

    // Premultiplied red, green, blue and alpha, 0 to 1.
    QVector4D at(QPointF point) const
    {
        const QRgb pixel = image_.pixel(QPoint(int(point.x() + margins_.left()), int(point.y() + margins_.top())));
        return QVector4D(qRed(pixel), qGreen(pixel), qBlue(pixel), qAlpha(pixel)) / 255.0f;
    }
    QVector4D atFraction(qreal x, qreal y) const { return at(QPointF(x * side_, y * side_)); }
    // `distance` × side from the centre, `degrees` clockwise from straight up.
    QVector4D atAngle(qreal degrees, qreal distance) const
    {
        const qreal radians = degrees * std::numbers::pi / 180;
        return atFraction(0.5 + distance * std::sin(radians), 0.5 - distance * std::cos(radians));
    }

private:
    qreal side_;
    QMarginsF margins_;
    QImage image_;
};

QVector3D rgb(const QVector4D& pixel)
{
    return pixel.toVector3D();
}

struct Named {
    const char* name;
    QVector3D colour;
};

const Named skyBlue{"sky blue", {0.31f, 0.76f, 0.97f}};
const Named violet{"violet", {0.65f, 0.55f, 0.98f}};
const Named pink{"pink", {1.00f, 0.48f, 0.71f}};
const Named amber{"amber", {1.00f, 0.71f, 0.28f}};
const Named coral{"coral", {1.00f, 0.42f, 0.42f}};
const Named warmWhite{"warm white", {1.00f, 0.91f, 0.84f}};

TEST(BrandLogo, LayersShowWhereTheDrawingPutsThem)
{
    const Rendered logo(QSizeF(512, 512), u"512"_s);

    const QVector4D centre = logo.atFraction(0.5, 0.5);
    EXPECT_GT(std::min({centre.x(), centre.y(), centre.z()}), 0.93f) << "the white core";

    const QVector4D edge = logo.atFraction(0.5, 0.03);
    EXPECT_FLOAT_EQ(edge.w(), 1.0f);
    EXPECT_LT(std::max({edge.x(), edge.y(), edge.z()}), 0.12f) << "dark background near the edge";
    EXPECT_GT(edge.z(), edge.x()) << "the background leans blue";

    // A corner of the frame lies outside the rounded square (radius 0.22 of
    // the side); only the faint shadow reaches it.
    EXPECT_LT(logo.atFraction(0.045, 0.045).w(), 0.1f);
    EXPECT_GT(logo.atFraction(0.085, 0.085).w(), 0.99f);

    // The shadow falls below the square.
    const float below = logo.atFraction(0.5, 1.02).w();
    const float above = logo.atFraction(0.5, -0.02).w();
    EXPECT_GT(below, 0.1f);
    EXPECT_LE(below, 0.29f);
    EXPECT_LT(above, 0.05f);
}

// Each ray shows its own colour: the difference to the glow just beside the
// ray points from what lies under it toward that colour, more than toward
// any other ray colour. The secondary set sits between the main rays.
TEST(BrandLogo, RaysPointWhereTheyAreTurnedInTheirColours)
{
    const Rendered logo(QSizeF(512, 512), u"rays"_s);
    const struct {
        qreal degrees;
        Named colour;
    } rays[] = {{0, skyBlue}, {60, violet}, {120, pink}, {30, coral}, {90, amber}, {150, skyBlue}};
    for (const auto& ray : rays) {
        SCOPED_TRACE(ray.degrees);
        const QVector3D on = rgb(logo.atAngle(ray.degrees, 0.2));
        const QVector3D beside = rgb(logo.atAngle(ray.degrees + 15, 0.2));
        const QVector3D added = on - beside;
        const auto likeness = [&](const Named& candidate) {
            return QVector3D::dotProduct(added.normalized(), (candidate.colour - beside).normalized());
        };
        for (const Named& other : {skyBlue, violet, pink, amber, coral}) {
            if (std::string_view(other.name) != ray.colour.name) {
                EXPECT_GT(likeness(ray.colour), likeness(other)) << ray.colour.name << " vs " << other.name;
            }
        }
    }
}

// In a frame wider than high the measures follow the height, while the dots
// sit at fractions of the full width and height, each in its palette colour
// at 0.85 over what lies beneath.
TEST(BrandLogo, DotsFollowTheFullFrameInTheirPaletteColours)
{
    const Rendered logo(QSizeF(1536, 768), u"wide"_s);
    const struct {
        qreal x, y, r;
        Named colour;
    } dots[] = {
        {0.224, 0.293, 0.0039, skyBlue}, {0.771, 0.303, 0.0039, violet}, {0.752, 0.742, 0.0039, amber},
        {0.234, 0.752, 0.0039, coral},   {0.498, 0.146, 0.0029, warmWhite}, {0.498, 0.859, 0.0029, warmWhite},
        {0.146, 0.488, 0.0029, violet},  {0.85, 0.498, 0.0029, pink},
    };
    for (const auto& dot : dots) {
        SCOPED_TRACE(dot.colour.name);
        const QPointF centre(dot.x * 1536, dot.y * 768);
        const QPointF aside(3 * dot.r * logo.side(), 0);
        const QVector3D beneath = (rgb(logo.at(centre - aside)) + rgb(logo.at(centre + aside))) / 2;
        const QVector3D expected = 0.85f * dot.colour.colour + 0.15f * beneath;
        EXPECT_LT((rgb(logo.at(centre)) - expected).length(), 0.06f);
    }
}

TEST(BrandLogo, RimKeepsItsWidthAtEverySize)
{
    for (const qreal side : {64.0, 512.0}) {
        SCOPED_TRACE(side);
        const Rendered logo(QSizeF(side, side), u"rim-%1"_s.arg(side));
        const qreal middle = side / 2;
        const QVector3D edge = rgb(logo.at(QPointF(0.5, middle)));
        const QVector3D next = rgb(logo.at(QPointF(1.5, middle)));
        const QVector3D inside = rgb(logo.at(QPointF(2.5, middle)));
        EXPECT_NEAR((edge - inside).x(), 0.08, 0.02) << "white at 0.1 over 0.8 of the edge pixel";
        EXPECT_LT((next - inside).length(), 0.02f) << "the rim ends within the edge pixel";
    }
}

TEST(BrandLogo, ViewLeavesRoomForTheShadowAndIconsFillTheirSquare)
{
    BrandLogoView view(72);
    view.resize(view.sizeHint());
    // The shadow reaches 5.76 sideways and is moved 2.88 down: 2.88 above, 8.64 below.
    EXPECT_EQ(view.sizeHint(), QSize(84, 84));
    const QRectF logo = view.logoRect();
    const QImage shown = view.grab().toImage();
    EXPECT_GT(qRed(shown.pixel(logo.center().toPoint())), 235);

    const QImage icon = BrandLogo::renderIcon(64);
    EXPECT_EQ(icon.size(), QSize(64, 64));
    EXPECT_GT(qAlpha(icon.pixel(32, 30)), 250);
    EXPECT_LT(qAlpha(icon.pixel(32, 0)), 32) << "only a faint shadow at the top";
}

} // namespace
} // namespace vellamor::test
