#include "Overlay/IslandOverlayView.h"

#include "Overlay/DoneRow.h"
#include "Overlay/ExpandedRow.h"
#include "Overlay/OverlayTheme.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/PillRow.h"
#include "Overlay/SegmentedProgressBackground.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vellamor {

namespace {

double opacityOf(const IslandShape& shape)
{
    return shape.kind() == IslandShape::Kind::cancelled ? 0.6 : 1.0;
}

QColor borderColor(const IslandShape& shape)
{
    switch (shape.kind()) {
    case IslandShape::Kind::cancelled:
        return OverlayTheme::white(0.12);
    case IslandShape::Kind::failed:
        return OverlayTheme::withOpacity(OverlayTheme::danger(), 0.55);
    case IslandShape::Kind::warn:
        return OverlayTheme::withOpacity(OverlayTheme::warn(), 0.55);
    default:
        return OverlayTheme::white(0.06);
    }
}

} // namespace

IslandOverlayView::IslandOverlayView(OverlayViewModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , shape_(model.islandShape())
    , content_(new QWidget(this))
    , contentOpacity_(new QGraphicsOpacityEffect(this))
    , pill_(new PillRow(model, content_))
    , expanded_(new ExpandedRow(model, content_))
    , done_(new DoneRow(model, content_))
    , radiusFrom_(cornerRadius(shape_))
    , opacityFrom_(opacityOf(shape_))
{
    content_->setAttribute(Qt::WA_TranslucentBackground);
    content_->setGraphicsEffect(contentOpacity_);
    contentOpacity_->setEnabled(false);
    auto* rows = new QVBoxLayout(content_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(pill_);
    rows->addWidget(expanded_);
    rows->addWidget(done_);
    expanded_->hide();
    done_->hide();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // The panel's size follows the shape, overshooting on the way; the
    // content never holds it back.
    outer->setSizeConstraint(QLayout::SetNoConstraint);
    outer->addWidget(content_);

    shapeMotion_.setStartValue(0.0);
    shapeMotion_.setEndValue(1.0);
    shapeMotion_.setDuration(static_cast<int>(OverlayTheme::springDuration.count()));
    shapeMotion_.setEasingCurve(OverlayTheme::spring());
    connect(&shapeMotion_, &QVariantAnimation::valueChanged, this, [this] {
        const double opacity = shownOpacity();
        contentOpacity_->setOpacity(opacity);
        contentOpacity_->setEnabled(opacity < 1.0);
        updateMask();
        update();
    });
    progressMotion_.setDuration(280);
    progressMotion_.setEasingCurve(OverlayTheme::easeOut());
    progressMotion_.setStartValue(model.progressFraction());
    progressMotion_.setEndValue(model.progressFraction());
    // Setting its ends reports a value too: only a drawn progress repaints.
    connect(&progressMotion_, &QVariantAnimation::valueChanged, this, [this] {
        if (drawsProgress_)
            update();
    });

    contentOpacity_->setOpacity(opacityFrom_);
    contentOpacity_->setEnabled(opacityFrom_ < 1.0);
    refresh(false);
    changes_ = model_.observeChanges(this, [this] { refresh(true); });
}

double IslandOverlayView::cornerRadius(const IslandShape& shape)
{
    switch (shape.kind()) {
    case IslandShape::Kind::expanded:
        return 22;
    case IslandShape::Kind::hidden:
        return 13;
    default:
        return 16;
    }
}

QSizeF IslandOverlayView::panelSize(const IslandShape& shape)
{
    const QSizeF size = shape.panelSize();
    if (shape.kind() != IslandShape::Kind::warn && shape.kind() != IslandShape::Kind::failed)
        return size;
    const double fitting = std::ceil(pill_->fittingWidth(shape));
    return {std::clamp(fitting, size.width(), IslandShape::expandedWidth), size.height()};
}

void IslandOverlayView::refresh(bool entrances)
{
    const IslandShape shape = model_.islandShape();
    if (shape != shape_)
        moveTo(shape);
    const bool done = shape.kind() == IslandShape::Kind::done;
    const bool expanded = shape.kind() == IslandShape::Kind::expanded;
    const bool enteringExpanded = entrances && expanded && expanded_->isHidden();
    pill_->setVisible(!done);
    // The expanded rows below would otherwise squeeze the status line into
    // the rounded corners; only the lower hidden island is less than a row.
    pill_->setMinimumHeight(std::min(PillRow::rowHeight, static_cast<int>(shape.panelSize().height())));
    expanded_->setVisible(expanded);
    done_->setVisible(done);
    pill_->apply(shape);
    expanded_->apply();
    done_->apply();
    if (enteringExpanded)
        expanded_->playEntrance();

    // The rows repaint what changes in them; the ground only changes with
    // the shape, which springs and repaints by itself, and with the
    // progress, which shows only while transcribing.
    const bool drawsProgress = model_.state.value().kind() == DictationState::Kind::transcribing;
    if (drawsProgress != drawsProgress_) {
        drawsProgress_ = drawsProgress;
        update();
    }
    const double progress = model_.progressFraction();
    if (progress != progressMotion_.endValue().toDouble()) {
        const double from = drawsProgress ? shownProgress() : progress;
        progressMotion_.stop();
        progressMotion_.setStartValue(from);
        progressMotion_.setEndValue(progress);
        if (drawsProgress)
            progressMotion_.start();
    }
}

void IslandOverlayView::moveTo(const IslandShape& shape)
{
    radiusFrom_ = shownRadius();
    opacityFrom_ = shownOpacity();
    shape_ = shape;
    shapeMotion_.stop();
    shapeMotion_.start();
}

double IslandOverlayView::shownRadius() const
{
    const double target = cornerRadius(shape_);
    double radius = target;
    if (shapeMotion_.state() == QAbstractAnimation::Running)
        radius = radiusFrom_ + (target - radiusFrom_) * shapeMotion_.currentValue().toDouble();
    return std::clamp(radius, 0.0, std::min(width(), height()) / 2.0);
}

double IslandOverlayView::shownOpacity() const
{
    const double target = opacityOf(shape_);
    if (shapeMotion_.state() != QAbstractAnimation::Running)
        return target;
    return std::clamp(opacityFrom_ + (target - opacityFrom_) * shapeMotion_.currentValue().toDouble(), 0.0, 1.0);
}

double IslandOverlayView::shownProgress() const
{
    if (progressMotion_.state() == QAbstractAnimation::Running)
        return progressMotion_.currentValue().toDouble();
    return progressMotion_.endValue().toDouble();
}

QPainterPath IslandOverlayView::outline() const
{
    return OverlayTheme::continuousRoundedRect(QRectF(rect()), shownRadius());
}

void IslandOverlayView::updateMask()
{
    setMask(QRegion(outline().toFillPolygon().toPolygon()));
}

void IslandOverlayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath island = outline();
    painter.fillPath(island, Qt::black);
    const DictationState& state = model_.state.value();
    if (state.kind() == DictationState::Kind::transcribing) {
        painter.save();
        painter.setClipPath(island);
        SegmentedProgressBackground(shownProgress(), state).paint(painter, QRectF(rect()));
        painter.restore();
    }
    // The ground stays opaque: without a compositor nothing behind the panel
    // could show through it, so only what is drawn on it fades.
    painter.setOpacity(shownOpacity());
    const double inset = 0.5;
    const QRectF edge = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.strokePath(OverlayTheme::continuousRoundedRect(edge, std::max(shownRadius() - inset, 0.0)),
                       QPen(borderColor(shape_), 1));
}

void IslandOverlayView::resizeEvent(QResizeEvent* event)
{
    updateMask();
    QWidget::resizeEvent(event);
}

void IslandOverlayView::enterEvent(QEnterEvent* event)
{
    model_.isHovering = true;
    QWidget::enterEvent(event);
}

void IslandOverlayView::leaveEvent(QEvent* event)
{
    model_.isHovering = false;
    QWidget::leaveEvent(event);
}

} // namespace vellamor
