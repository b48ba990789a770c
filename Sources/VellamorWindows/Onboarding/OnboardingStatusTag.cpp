#include "Onboarding/OnboardingStatusTag.h"

#include "Windows/PaintKit.h"
#include "Windows/WindowTheme.h"

#include <QPainter>

namespace vellamor {

OnboardingStatusTag::OnboardingStatusTag(VellamorPermissionStatus status, QWidget* parent)
    : ThemedLabel(text(status), WindowTheme::font(10, QFont::DemiBold), [status] { return colour(status); }, parent)
    , status_(status)
{
    setContentsMargins(6, 2, 6, 2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString OnboardingStatusTag::text(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return QStringLiteral("待开启");
    case VellamorPermissionStatus::denied:
        return QStringLiteral("被拒绝");
    case VellamorPermissionStatus::granted:
        return QStringLiteral("已开启");
    }
    return {};
}

QColor OnboardingStatusTag::colour(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return WindowTheme::secondary();
    case VellamorPermissionStatus::denied:
        return WindowTheme::red();
    case VellamorPermissionStatus::granted:
        return WindowTheme::green();
    }
    return {};
}

void OnboardingStatusTag::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = rect();
        painter.fillPath(PaintKit::continuousRoundedRect(capsule, capsule.height() / 2),
                         PaintKit::withOpacity(colour(status_), 0.18));
    }
    QLabel::paintEvent(event);
}

} // namespace vellamor
