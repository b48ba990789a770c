#include "Overlay/PinnedResultOverlay.h"

#include "Overlay/OverlayButton.h"
#include "Overlay/OverlayGlyphView.h"
#include "Overlay/OverlayLabel.h"
#include "Overlay/OverlayScrollArea.h"
#include "Overlay/OverlayTheme.h"
#include "Overlay/PillRow.h"
#include "Overlay/PinnedTextActionButton.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr double cardRadius = 16;

class CloseButton final : public OverlayButton {
public:
    explicit CloseButton(QWidget* parent) : OverlayButton(parent)
    {
        setFixedSize(18, 18);
        setToolTip(QStringLiteral("关闭固定提示"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        OverlayGlyph::paint(painter, OverlayGlyph::Symbol::xmark, QRectF(rect()), 9, QFont::Bold,
                            OverlayTheme::white(0.45));
    }
};

QWidget* header(QWidget* parent, QAbstractButton* close, bool leftOnClipboard)
{
    auto* bar = new QWidget(parent);
    bar->setFixedHeight(32);
    const QColor tint = leftOnClipboard ? OverlayTheme::warn() : OverlayTheme::success();
    auto* title = new OverlayLabel(OverlayTheme::font(12, QFont::DemiBold), tint, 1, bar);
    title->setText(leftOnClipboard ? PillRow::copiedText() : QStringLiteral("已插入"));
    title->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(14, 0, 14, 0);
    layout->setSpacing(8);
    layout->addWidget(
        new OverlayGlyphView(OverlayGlyph::Symbol::checkmark, 12, QFont::Bold, tint, bar));
    layout->addWidget(title);
    layout->addWidget(
        new OverlayGlyphView(OverlayGlyph::Symbol::pinFill, 10.5, QFont::DemiBold, OverlayTheme::success(), bar));
    layout->addStretch();
    layout->addWidget(close);
    return bar;
}

} // namespace

PinnedResultOverlay::PinnedResultOverlay(QString finalText, QString polishedText, bool leftOnClipboard,
                                         std::shared_ptr<platform::Pasteboard> pasteboard, InsertAction onInsert,
                                         CloseAction onClose, QWidget* parent)
    : QWidget(parent)
    , pasteboard_(std::move(pasteboard))
    , onInsert_(std::move(onInsert))
    , onClose_(std::move(onClose))
{
    auto* close = new CloseButton(this);
    connect(close, &QAbstractButton::clicked, this, [this] {
        if (auto action = onClose_)
            action();
    });

    auto* content = new QWidget;
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(18, 0, 18, 14);
    rows->setSpacing(6);
    if (!finalText.isEmpty())
        rows->addWidget(
            makeRow(QStringLiteral("原文"), finalText, OverlayTheme::white(0.38), OverlayTheme::white(0.58), 3, false));
    if (!polishedText.isEmpty())
        rows->addWidget(makeRow(QStringLiteral("润色"), polishedText, OverlayTheme::polish(), Qt::white,
                                OverlayLabel::unlimited, true));
    rows->addStretch();

    auto* scroll = new OverlayScrollArea(content, this);

    auto* card = new QVBoxLayout(this);
    card->setContentsMargins(0, 0, 0, 0);
    card->setSpacing(0);
    card->addWidget(header(this, close, leftOnClipboard));
    card->addWidget(scroll, 1);
}

QWidget* PinnedResultOverlay::makeRow(const QString& label, const QString& text, const QColor& labelColor,
                                      const QColor& textColor, int lineLimit, bool isPrimary)
{
    auto* row = new QWidget;
    auto* caption = new OverlayLabel(OverlayTheme::font(9, QFont::DemiBold), labelColor, 1, row);
    caption->setText(label);
    caption->setFixedWidth(28);
    auto* copyButton = new PinnedTextActionButton(QStringLiteral("复制"), false, row);
    auto* insertButton = new PinnedTextActionButton(QStringLiteral("插入"), isPrimary, row);
    const QFont::Weight weight = label == QStringLiteral("润色") ? QFont::Medium : QFont::Normal;
    auto* body = new OverlayLabel(OverlayTheme::font(12, weight), textColor, lineLimit, row);
    body->setText(text);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    actions->addWidget(caption);
    actions->addStretch();
    actions->addWidget(copyButton);
    actions->addWidget(insertButton);
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addLayout(actions);
    layout->addWidget(body);

    connect(copyButton, &QAbstractButton::clicked, this, [this, text] { copy(text); });
    connect(insertButton, &QAbstractButton::clicked, this, [this, text] {
        if (auto action = onInsert_)
            action(text);
    });
    return row;
}

void PinnedResultOverlay::copy(const QString& text)
{
    // Setting the text alone drops every other format the clipboard held.
    if (pasteboard_)
        pasteboard_->setText(platform::PasteboardSelection::clipboard, text);
}

void PinnedResultOverlay::paintEvent(QPaintEvent*)
{
    // No shadow: the panel is exactly the card's size, so it would be cut off.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(OverlayTheme::continuousRoundedRect(QRectF(rect()), cardRadius), Qt::black);
    const QRectF edge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.strokePath(OverlayTheme::continuousRoundedRect(edge, cardRadius - 0.5), QPen(OverlayTheme::white(0.06), 1));
}

void PinnedResultOverlay::resizeEvent(QResizeEvent* event)
{
    setMask(QRegion(OverlayTheme::continuousRoundedRect(QRectF(rect()), cardRadius).toFillPolygon().toPolygon()));
    QWidget::resizeEvent(event);
}

} // namespace vellamor
