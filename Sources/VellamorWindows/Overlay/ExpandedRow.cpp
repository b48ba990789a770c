#include "Overlay/ExpandedRow.h"

#include "Overlay/OverlayLabel.h"
#include "Overlay/OverlayScrollArea.h"
#include "Overlay/OverlayTheme.h"
#include "Overlay/OverlayViewModel.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace vellamor {

namespace {

constexpr int fadeHeight = 16;

// The bottom fade over the scroll view; clicks and wheels pass through.
class BottomFade final : public QWidget {
public:
    explicit BottomFade(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, OverlayTheme::black(0));
        gradient.setColorAt(1, OverlayTheme::black(0.75));
        QPainter(this).fillRect(rect(), gradient);
    }
};

QWidget* textRow(OverlayLabel* caption, OverlayLabel* text, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(caption, 0, Qt::AlignTop);
    layout->addWidget(text, 1, Qt::AlignTop);
    return row;
}

} // namespace

OverlayLabel* ExpandedRow::labelText(const QString& text, const QColor& color, QWidget* parent)
{
    QFont font = OverlayTheme::font(9, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    auto* label = new OverlayLabel(font, color, 1, parent);
    label->setText(text);
    label->setContentsMargins(0, 2, 0, 0);
    label->setFixedWidth(28);
    return label;
}

ExpandedRow::ExpandedRow(OverlayViewModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , finalText_(new OverlayLabel(OverlayTheme::font(12), OverlayTheme::white(0.58), 3))
    , polishedText_(new OverlayLabel(OverlayTheme::font(12, QFont::Medium), Qt::white, OverlayLabel::unlimited))
    , fade_(new BottomFade(this))
    , entranceOpacity_(new QGraphicsOpacityEffect(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* content = new QWidget;
    finalRow_ = textRow(labelText(QStringLiteral("原文"), OverlayTheme::white(0.38), nullptr), finalText_, content);
    polishedRow_ = textRow(labelText(QStringLiteral("润色"), OverlayTheme::polish(), nullptr), polishedText_, content);
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(18, 0, 18, 14);
    rows->setSpacing(6);
    rows->addWidget(finalRow_);
    rows->addWidget(polishedRow_);
    rows->addStretch();

    scroll_ = new OverlayScrollArea(content, this);
    fade_->raise();

    scroll_->setGraphicsEffect(entranceOpacity_);
    entranceOpacity_->setEnabled(false);
    entrance_.setStartValue(0.0);
    entrance_.setEndValue(1.0);
    entrance_.setDuration(static_cast<int>(OverlayTheme::springDuration.count()));
    entrance_.setEasingCurve(OverlayTheme::spring());
    connect(&entrance_, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& shown) { entranceOpacity_->setOpacity(std::clamp(shown.toDouble(), 0.0, 1.0)); });
    connect(&entrance_, &QVariantAnimation::finished, this, [this] { entranceOpacity_->setEnabled(false); });
}

void ExpandedRow::apply()
{
    const QString& finalText = model_.finalText.value();
    const QString& polishedText = model_.polishedText.value();
    finalText_->setText(finalText);
    polishedText_->setText(polishedText);
    finalRow_->setVisible(!finalText.isEmpty());
    polishedRow_->setVisible(!polishedText.isEmpty());
}

void ExpandedRow::playEntrance()
{
    entranceOpacity_->setOpacity(0);
    entranceOpacity_->setEnabled(true);
    entrance_.stop();
    entrance_.start();
}

void ExpandedRow::resizeEvent(QResizeEvent* event)
{
    place();
    QWidget::resizeEvent(event);
}

void ExpandedRow::place()
{
    scroll_->setGeometry(rect());
    fade_->setGeometry(0, height() - fadeHeight, width(), fadeHeight);
}

} // namespace vellamor
