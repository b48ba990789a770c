#include "Windows/StatusPill.h"

#include "Windows/PaintKit.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>

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
    layout->addWidget(new ThemedLabel(text, WindowTheme::font(11, QFont::Medium), ink, this));
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
