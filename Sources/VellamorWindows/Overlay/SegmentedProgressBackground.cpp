#include "Overlay/SegmentedProgressBackground.h"

#include "Overlay/OverlayTheme.h"

#include <QPainter>

#include <algorithm>

namespace vellamor {

namespace {

struct Opacities {
    double fill;
    double divider;
};

Opacities opacitiesFor(DictationState::Kind kind)
{
    using Kind = DictationState::Kind;
    switch (kind) {
    case Kind::idle:
        return {0, 0};
    case Kind::recording:
        return {0.24, 0};
    case Kind::transcribing:
    case Kind::polishing:
    case Kind::inserting:
    case Kind::cancelled:
        return {0.24, 0.08};
    case Kind::done:
        return {0.30, 0};
    case Kind::failed:
        return {0.18, 0.08};
    }
    return {0, 0};
}

} // namespace

SegmentedProgressBackground::SegmentedProgressBackground(double progress, DictationState state, Cuts cuts)
    : progress_(progress)
    , state_(std::move(state))
    , cuts_(cuts)
{
}

QColor SegmentedProgressBackground::segmentColor(int index) const
{
    if (state_.kind() == DictationState::Kind::failed)
        return OverlayTheme::danger();
    switch (index) {
    case 0:
        return OverlayTheme::record();
    case 1:
        return OverlayTheme::transcribeBlue();
    case 2:
        return OverlayTheme::polish();
    default:
        return OverlayTheme::success();
    }
}

void SegmentedProgressBackground::paint(QPainter& painter, const QRectF& area) const
{
    const Opacities opacities = opacitiesFor(state_.kind());
    const double w = area.width();
    const double h = area.height();
    painter.save();
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i + 1 < cuts_.size(); ++i) {
        const double start = cuts_[i];
        const double end = cuts_[i + 1];
        const double filled = std::min(end - start, std::max(progress_ - start, 0.0));
        if (filled <= 0)
            continue;
        painter.setBrush(OverlayTheme::withOpacity(segmentColor(static_cast<int>(i)), opacities.fill));
        painter.drawRect(QRectF(area.left() + start * w, area.top(), filled * w, h));
    }
    // After the fills, so a divider shows over a filled segment.
    painter.setBrush(OverlayTheme::white(opacities.divider));
    const double dividerHeight = std::max(h - 8, 0.0);
    for (std::size_t i = 1; i + 1 < cuts_.size(); ++i)
        painter.drawRect(QRectF(area.left() + cuts_[i] * w, area.top() + (h - dividerHeight) / 2, 1, dividerHeight));
    painter.restore();
}

} // namespace vellamor
