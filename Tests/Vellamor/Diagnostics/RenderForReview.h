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
    const QColor window(0x1e, 0x1e, 0x1e), base(0x2a, 0x2a, 0x2a), text(0xf2, 0xf2, 0xf2);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9d));
    palette.setColor(QPalette::Link, QColor(0x40, 0x9c, 0xff));
    palette.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4a));
    palette.setColor(QPalette::Midlight, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
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
