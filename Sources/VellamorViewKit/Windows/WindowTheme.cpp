#include "Windows/WindowTheme.h"

#include "Windows/PaintKit.h"

#include <QGuiApplication>
#include <QPalette>

namespace vellamor {

namespace {

QColor pick(QColor light, QColor dark)
{
    return WindowTheme::isDark() ? dark : light;
}

} // namespace

bool WindowTheme::isDark()
{
    return QGuiApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
}

QColor WindowTheme::primary()
{
    return QGuiApplication::palette().color(QPalette::WindowText);
}

QColor WindowTheme::secondary()
{
    return PaintKit::withOpacity(primary(), isDark() ? 0.55 : 0.5);
}

QColor WindowTheme::accent()
{
    return QGuiApplication::palette().color(QPalette::Highlight);
}

QColor WindowTheme::windowBackground()
{
    return QGuiApplication::palette().color(QPalette::Window);
}

QColor WindowTheme::divider()
{
    return PaintKit::withOpacity(secondary(), 0.12);
}

QColor WindowTheme::windowEdge()
{
    return PaintKit::withOpacity(primary(), 0.3);
}

QColor WindowTheme::blue()
{
    return pick(QColor(0, 122, 255), QColor(10, 132, 255));
}

QColor WindowTheme::green()
{
    return pick(QColor(40, 167, 69), QColor(48, 209, 88));
}

QColor WindowTheme::orange()
{
    return pick(QColor(230, 126, 0), QColor(255, 159, 10));
}

QColor WindowTheme::red()
{
    return pick(QColor(255, 59, 48), QColor(255, 69, 58));
}

QColor WindowTheme::tone(PillTone tone)
{
    switch (tone) {
    case PillTone::neutral:
        return secondary();
    case PillTone::info:
        return blue();
    case PillTone::success:
        return green();
    case PillTone::warning:
        return orange();
    case PillTone::danger:
        return red();
    }
    return secondary();
}

QFont WindowTheme::font(double size, QFont::Weight weight)
{
    return PaintKit::font(size, weight);
}

QFont WindowTheme::monospacedFont(double size, QFont::Weight weight)
{
    return PaintKit::monospacedFont(size, weight);
}

QFont WindowTheme::titleFont()
{
    return font(17, QFont::DemiBold);
}

QFont WindowTheme::calloutFont()
{
    return font(12);
}

QFont WindowTheme::captionFont()
{
    return font(10);
}

QString WindowTheme::linkStyleSheet()
{
    return QStringLiteral("QPushButton { background: transparent; border: none; padding: 0; color: %1; }"
                          " QPushButton:disabled { color: %2; }")
        .arg(accent().name(QColor::HexArgb), secondary().name(QColor::HexArgb));
}

QString WindowTheme::tabStyleSheet(bool selected)
{
    const QColor fill = PaintKit::withOpacity(accent(), selected ? 0.15 : 0.0);
    const QColor text = selected ? accent() : secondary();
    return QStringLiteral("QPushButton { border: none; border-radius: 6px; padding: 4px 10px; background: %1; color: %2; }")
        .arg(fill.name(QColor::HexArgb), text.name(QColor::HexArgb));
}

} // namespace vellamor
