#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QWidget>

namespace vellamor::test {

inline QPalette darkPalette()
{
    QPalette palette;
    const std::pair<QPalette::ColorRole, QRgb> roles[] = {
        {QPalette::Window, 0x1e1e1e},      {QPalette::Button, 0x1e1e1e},     {QPalette::Base, 0x2a2a2a},
        {QPalette::WindowText, 0xf2f2f2},  {QPalette::Text, 0xf2f2f2},       {QPalette::ButtonText, 0xf2f2f2},
        {QPalette::PlaceholderText, 0x98989d}, {QPalette::Link, 0x409cff},   {QPalette::Mid, 0x48484a},
        {QPalette::Midlight, 0x3a3a3c},
    };
    for (const auto& [role, colour] : roles)
        palette.setColor(role, QColor(colour));
    return palette;
}

// Draws `view` in a light and a dark palette into $VELLAMOR_SCREENSHOT_DIR
// as `<name>-light.png` and `<name>-dark.png`, for a reviewer to look at;
// returns the dark image. The view keeps its light palette afterwards.
inline QImage renderForReview(QWidget& view, const QString& name)
{
    // Layouts follow text changes on a later turn.
    QCoreApplication::processEvents();
    const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR");
    const bool save = !folder.isEmpty() && QDir().mkpath(folder);
    if (save)
        view.grab().toImage().save(folder + QLatin1Char('/') + name + QStringLiteral("-light.png"));
    const QPalette light = view.palette();
    view.setPalette(darkPalette());
    QCoreApplication::processEvents();
    const QImage dark = view.grab().toImage();
    if (save)
        dark.save(folder + QLatin1Char('/') + name + QStringLiteral("-dark.png"));
    view.setPalette(light);
    return dark;
}

} // namespace vellamor::test
