#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QString>

namespace vellamor {

// The colours, fonts and icons of the diagnostics, log and about views, in
// one place. Colours follow the widget's palette, so light and dark themes
// both read well.
class DiagnosticsStyle {
public:
    DiagnosticsStyle() = delete;

    static QFont captionFont();
    static QFont logFont();

    // Secondary text: the palette's text, faded.
    static QColor secondaryText(const QPalette& palette);
    // The log area: the text background with a faint rounded border.
    static QString logAreaStyleSheet(const QPalette& palette);

    static QIcon refreshIcon();
    static QIcon copyIcon();
    static QIcon folderIcon();
};

} // namespace vellamor
