#include "Overlay/DoneRow.h"

#include "Overlay/CheckMarkShape.h"
#include "Overlay/OverlayLabel.h"
#include "Overlay/OverlayTheme.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/PinButton.h"

#include <QHBoxLayout>
#include <QPainter>

namespace vellamor {

DoneRow::DoneRow(OverlayViewModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , checkSlot_(new QWidget(this))
    , pin_(new PinButton(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMaximumHeight(32);
    checkSlot_->setFixedSize(14, 14);
    checkSlot_->setAttribute(Qt::WA_TranslucentBackground);
    auto* text = new OverlayLabel(OverlayTheme::font(12, QFont::DemiBold), OverlayTheme::success(), 1, this);
    text->setText(QStringLiteral("已插入"));
    text->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addStretch();
    layout->addWidget(checkSlot_);
    layout->addWidget(text);
    layout->addWidget(pin_);
    layout->addStretch();

    draw_.setStartValue(0.0);
    draw_.setEndValue(1.0);
    draw_.setDuration(450);
    draw_.setEasingCurve(OverlayTheme::easeInOut());
    connect(&draw_, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    connect(pin_, &QAbstractButton::clicked, this, [this] { model_.isPinned = !model_.isPinned.value(); });
}

void DoneRow::apply()
{
    pin_->setPinned(model_.isPinned.value());
}

double DoneRow::checkProgress() const
{
    return draw_.state() == QAbstractAnimation::Running ? draw_.currentValue().toDouble() : draw_.endValue().toDouble();
}

void DoneRow::showEvent(QShowEvent* event)
{
    draw_.stop();
    draw_.start();
    QWidget::showEvent(event);
}

void DoneRow::paintEvent(QPaintEvent*)
{
    // The layout keeps an empty slot for the mark; the row draws into it.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(OverlayTheme::success(), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(CheckMarkShape::path(QRectF(checkSlot_->geometry()), checkProgress()));
}

} // namespace vellamor
