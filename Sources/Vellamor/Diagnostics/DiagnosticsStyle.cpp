#include "Diagnostics/DiagnosticsStyle.h"

#include <QFontDatabase>

namespace vellamor {

namespace {

constexpr qreal captionPoints = 10;
constexpr qreal logPoints = 11;
constexpr float secondaryAlpha = 0.55f;
constexpr float borderAlpha = 0.3f * secondaryAlpha;

QString cssColour(const QColor& colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alphaF(), 0, 'f', 3);
}

} // namespace

QFont DiagnosticsStyle::captionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(captionPoints);
    return font;
}

QFont DiagnosticsStyle::logFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(logPoints);
    return font;
}

QColor DiagnosticsStyle::secondaryText(const QPalette& palette)
{
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(secondaryAlpha);
    return colour;
}

QString DiagnosticsStyle::logAreaStyleSheet(const QPalette& palette)
{
    QColor border = palette.color(QPalette::WindowText);
    border.setAlphaF(borderAlpha);
    // Half a point of border, rounded up to the one pixel a style sheet draws.
    return QStringLiteral("QPlainTextEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 4px; }")
        .arg(cssColour(palette.color(QPalette::Base)), cssColour(palette.color(QPalette::Text)), cssColour(border));
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

} // namespace vellamor
