#include "Diagnostics/BrandLogo.h"

#include <QDir>
#include <QPainter>
#include <QVector3D>

#include <gmock/gmock.h>

#include <cmath>
#include <numbers>

namespace vellamor::test {
namespace {

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
            image_.save(folder + QStringLiteral("/brand-logo-") + name + QStringLiteral(".png"));
    }

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

const QVector3D skyBlue{0.31f, 0.76f, 0.97f}, violet{0.65f, 0.55f, 0.98f}, pink{1.00f, 0.48f, 0.71f},
    amber{1.00f, 0.71f, 0.28f}, coral{1.00f, 0.42f, 0.42f}, warmWhite{1.00f, 0.91f, 0.84f};

TEST(BrandLogo, LayersShowWhereTheDrawingPutsThem)
{
    const Rendered logo(QSizeF(512, 512), QStringLiteral("512"));

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
    EXPECT_THAT(logo.atFraction(0.5, 1.02).w(), ::testing::AllOf(::testing::Gt(0.1f), ::testing::Le(0.29f)));
    EXPECT_LT(logo.atFraction(0.5, -0.02).w(), 0.05f);

    // Each ray shows its own colour: what it adds to the glow just beside it
    // points toward its colour more than toward any other ray colour. The
    // secondary set sits between the main rays.
    const std::pair<qreal, QVector3D> rays[] = {{0, skyBlue}, {60, violet}, {120, pink},
                                                {30, coral},  {90, amber},  {150, skyBlue}};
    for (const auto& [degrees, colour] : rays) {
        SCOPED_TRACE(degrees);
        const QVector3D beside = logo.atAngle(degrees + 15, 0.2).toVector3D();
        const QVector3D added = logo.atAngle(degrees, 0.2).toVector3D() - beside;
        const auto likeness = [&](const QVector3D& candidate) {
            return QVector3D::dotProduct(added.normalized(), (candidate - beside).normalized());
        };
        for (const QVector3D& other : {skyBlue, violet, pink, amber, coral})
            EXPECT_TRUE(other == colour || likeness(colour) > likeness(other)) << other.x() << ", " << other.z();
    }
}

// In a frame wider than high the measures follow the height, while the dots
// sit at fractions of the full width and height, each in its palette colour
// at 0.85 over what lies beneath.
TEST(BrandLogo, DotsFollowTheFullFrameInTheirPaletteColours)
{
    const Rendered logo(QSizeF(1536, 768), QStringLiteral("wide"));
    const struct {
        qreal x, y, r;
        QVector3D colour;
    } dots[] = {
        {0.224, 0.293, 0.0039, skyBlue}, {0.771, 0.303, 0.0039, violet}, {0.752, 0.742, 0.0039, amber},
        {0.234, 0.752, 0.0039, coral},   {0.498, 0.146, 0.0029, warmWhite}, {0.498, 0.859, 0.0029, warmWhite},
        {0.146, 0.488, 0.0029, violet},  {0.85, 0.498, 0.0029, pink},
    };
    for (const auto& dot : dots) {
        SCOPED_TRACE(dot.x);
        const QPointF centre(dot.x * 1536, dot.y * 768);
        const QPointF aside(3 * dot.r * 768, 0);
        const QVector3D beneath = (logo.at(centre - aside).toVector3D() + logo.at(centre + aside).toVector3D()) / 2;
        const QVector3D expected = 0.85f * dot.colour + 0.15f * beneath;
        EXPECT_LT((logo.at(centre).toVector3D() - expected).length(), 0.06f);
    }
}

TEST(BrandLogo, RimKeepsItsWidthAtEverySize)
{
    for (const qreal side : {64.0, 512.0}) {
        SCOPED_TRACE(side);
        const Rendered logo(QSizeF(side, side), QStringLiteral("rim-%1").arg(side));
        const qreal middle = side / 2;
        const QVector3D edge = logo.at(QPointF(0.5, middle)).toVector3D();
        const QVector3D next = logo.at(QPointF(1.5, middle)).toVector3D();
        const QVector3D inside = logo.at(QPointF(2.5, middle)).toVector3D();
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
}

} // namespace
} // namespace vellamor::test
