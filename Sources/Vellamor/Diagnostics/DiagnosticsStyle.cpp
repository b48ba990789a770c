#include "Diagnostics/DiagnosticsStyle.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr qreal captionPoints = 10;
constexpr qreal logPoints = 11;
// Secondary text at 30 %, as the palette's faded text is about half the text.
constexpr float borderAlpha = 0.3f * 0.5f;

// A rounded card on the text background, painted from the palette at each
// paint, so it follows a theme change.
class CardFrame final : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }
};

QColor toneColour(DiagnosticsStyle::Tone tone)
{
    switch (tone) {
    case DiagnosticsStyle::Tone::neutral:
        return QColor(0x8e, 0x8e, 0x93);
    case DiagnosticsStyle::Tone::danger:
        return QColor(0xff, 0x3b, 0x30);
    case DiagnosticsStyle::Tone::success:
        return QColor(0x34, 0xc7, 0x59);
    }
    Q_UNREACHABLE();
}

QString cssColour(const QColor& colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alphaF(), 0, 'f', 3);
}

} // namespace

QFont DiagnosticsStyle::font(qreal points, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

QFont DiagnosticsStyle::captionFont()
{
    return font(captionPoints);
}

QFont DiagnosticsStyle::logFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(logPoints);
    return font;
}

QLabel* DiagnosticsStyle::label(const QString& text, qreal points, bool secondary, QWidget* parent,
                                QFont::Weight weight)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font(points, weight));
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QString DiagnosticsStyle::logAreaStyleSheet(const QPalette& palette)
{
    QColor border = palette.color(QPalette::WindowText);
    border.setAlphaF(borderAlpha);
    // Half a point of border, rounded up to the one pixel a style sheet draws.
    return QStringLiteral("QPlainTextEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 4px; }")
        .arg(cssColour(palette.color(QPalette::Base)), cssColour(palette.color(QPalette::Text)), cssColour(border));
}

QString DiagnosticsStyle::pillStyleSheet(Tone tone)
{
    QColor fill = toneColour(tone);
    fill.setAlphaF(0.15f);
    return QStringLiteral("QLabel { color: %1; background: %2; border-radius: 9px; padding: 2px 8px; }")
        .arg(cssColour(toneColour(tone)), cssColour(fill));
}

QString DiagnosticsStyle::copyButtonStyleSheet(bool copied)
{
    const QColor fill = copied ? toneColour(Tone::success) : QColor(0x0a, 0x84, 0xff);
    return QStringLiteral("QPushButton { color: white; background: %1; border: none; border-radius: 6px; "
                          "padding: 6px 14px; }")
        .arg(cssColour(fill));
}

QString DiagnosticsStyle::linkStyleSheet(const QPalette& palette)
{
    return QStringLiteral("QPushButton { color: %1; background: transparent; border: none; padding: 0; }")
        .arg(cssColour(palette.color(QPalette::Link)));
}

QWidget* DiagnosticsStyle::sectionHeader(const QString& title, const QString& subtitle, QWidget* parent)
{
    auto* header = new QWidget(parent);
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(label(title, 20, false, header, QFont::Bold));
    if (!subtitle.isEmpty()) {
        QLabel* subtitleLabel = label(subtitle, 12, true, header);
        subtitleLabel->setWordWrap(true);
        column->addWidget(subtitleLabel);
    }
    return header;
}

QWidget* DiagnosticsStyle::card(const QString& title, QVBoxLayout*& body, QWidget* parent)
{
    auto* group = new QWidget(parent);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    if (!title.isEmpty())
        column->addWidget(label(title, 13, false, group, QFont::DemiBold));
    auto* frame = new CardFrame(group);
    body = new QVBoxLayout(frame);
    body->setContentsMargins(14, 10, 14, 10);
    body->setSpacing(8);
    column->addWidget(frame);
    return group;
}

QFrame* DiagnosticsStyle::rowDivider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Midlight);
    return line;
}

QIcon DiagnosticsStyle::refreshIcon()
{
    return QIcon::fromTheme(QStringLiteral("view-refresh"));
}

QIcon DiagnosticsStyle::copyIcon()
{
    return QIcon::fromTheme(QStringLiteral("edit-copy"));
}

QIcon DiagnosticsStyle::folderIcon()
{
    return QIcon::fromTheme(QStringLiteral("folder-open"));
}

QIcon DiagnosticsStyle::clipboardIcon(bool copied)
{
    return QIcon::fromTheme(copied ? QStringLiteral("emblem-ok") : QStringLiteral("edit-paste"));
}

} // namespace vellamor
