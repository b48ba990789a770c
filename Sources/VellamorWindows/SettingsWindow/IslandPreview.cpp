#include "SettingsWindow/IslandPreview.h"

#include "Overlay/OverlayTheme.h"
#include "Windows/PaintKit.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QPainter>
#include <QVBoxLayout>

#include <array>

namespace vellamor {

namespace {

constexpr double islandWidth = 90;
constexpr double islandHeight = 16;
constexpr double islandTop = 14;
constexpr std::array<double, 6> barHeights{4, 7, 5, 8, 6, 3};

// The island looks the same in light and dark: only the frame follows the theme.
class IslandCanvas final : public QWidget {
public:
    explicit IslandCanvas(QWidget* parent)
        : QWidget(parent)
    {
        setFixedHeight(160);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF canvas = rect();
        const QColor secondary = WindowTheme::secondary();
        painter.strokePath(PaintKit::continuousRoundedRect(canvas.adjusted(0.5, 0.5, -0.5, -0.5), 12),
                           QPen(PaintKit::withOpacity(secondary, 0.35), 1));

        const QRectF screen = canvas.adjusted(8, 8, -8, -8);
        painter.fillPath(PaintKit::continuousRoundedRect(screen, 8), QColor::fromRgbF(0, 0, 0, 0.82f));
        painter.fillRect(QRectF(screen.left(), screen.top(), screen.width(), 10), QColor::fromRgbF(1, 1, 1, 0.08f));

        const QRectF island(screen.center().x() - islandWidth / 2, screen.top() + islandTop, islandWidth,
                            islandHeight);
        const QPainterPath islandShape = PaintKit::continuousRoundedRect(island, 8);
        painter.fillPath(islandShape, Qt::black);
        painter.strokePath(islandShape, QPen(QColor::fromRgbF(1, 1, 1, 0.15f), 0.5));

        const QColor accent = OverlayTheme::record();
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawEllipse(QRectF(island.left() + 8, island.center().y() - 2, 4, 4));
        for (std::size_t i = 0; i < barHeights.size(); ++i) {
            const double h = barHeights[i];
            const QRectF bar(island.left() + 18 + 4.0 * static_cast<double>(i), island.center().y() - h / 2, 2, h);
            painter.fillPath(PaintKit::continuousRoundedRect(bar, 1), accent);
        }

        painter.strokePath(PaintKit::continuousRoundedRect(canvas.adjusted(0.25, 0.25, -0.25, -0.25), 10),
                           QPen(PaintKit::withOpacity(secondary, 0.15), 0.5));
    }
};

} // namespace

IslandPreview::IslandPreview(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(new IslandCanvas(this));
    layout->addWidget(new ThemedLabel(QStringLiteral("灵动岛始终出现在主屏顶部居中，距屏幕顶部 14pt"),
                                      WindowTheme::captionFont(), &WindowTheme::secondary, this));
}

} // namespace vellamor
