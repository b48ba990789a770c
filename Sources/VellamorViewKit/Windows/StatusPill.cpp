#include "Windows/StatusPill.h"

#include "Windows/PaintKit.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QtMath>

namespace vellamor {

namespace {

class PillDot final : public QWidget {
public:
    PillDot(PillTone tone, QWidget* parent)
        : QWidget(parent)
        , tone_(tone)
    {
        setFixedSize(6, 6);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(WindowTheme::tone(tone_));
        painter.drawEllipse(rect());
    }

private:
    PillTone tone_;
};

// The pill's text, cut short with an ellipsis when the pill is given less
// than its width; the whole text is then the pill's tool tip.
class PillText final : public ThemedLabel
{
public:
    PillText(const QString& text, const QFont& font, Ink ink, QWidget* pill)
        : ThemedLabel(text, font, std::move(ink), pill)
        , whole_(text)
        , pill_(pill)
    {
    }

    QSize sizeHint() const override { return { widthOf(whole_), ThemedLabel::sizeHint().height() }; }
    // Enough of the text to tell the status.
    QSize minimumSizeHint() const override
    {
        constexpr qsizetype kept = 4;
        return { widthOf(whole_.size() > kept ? whole_.left(kept) + u'…' : whole_), ThemedLabel::sizeHint().height() };
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        ThemedLabel::resizeEvent(event);
        const QString shown = QFontMetricsF(font()).elidedText(whole_, Qt::ElideRight, width());
        setText(shown);
        pill_->setToolTip(shown == whole_ ? QString() : whole_);
    }

private:
    int widthOf(const QString& text) const { return qCeil(QFontMetricsF(font()).horizontalAdvance(text)); }

    QString whole_;
    QWidget* pill_;
};

} // namespace

StatusPill::StatusPill(const QString& text, PillTone tone, const std::optional<QString>& icon, QWidget* parent)
    : QWidget(parent)
    , tone_(tone)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 3, 8, 3);
    layout->setSpacing(6);
    const auto ink = [tone] { return WindowTheme::tone(tone); };
    if (icon) {
        auto* symbol = new SymbolView(*icon, 10, ink, this);
        symbol->setFixedSize(10, 10);
        layout->addWidget(symbol, 0, Qt::AlignVCenter);
    } else {
        layout->addWidget(new PillDot(tone, this), 0, Qt::AlignVCenter);
    }
    layout->addWidget(new PillText(text, WindowTheme::font(11, QFont::Medium), ink, this));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void StatusPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = rect();
    painter.fillPath(PaintKit::continuousRoundedRect(capsule, capsule.height() / 2),
                     PaintKit::withOpacity(WindowTheme::tone(tone_), 0.16));
}

} // namespace vellamor
