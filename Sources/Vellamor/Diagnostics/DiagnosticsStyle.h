#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QString>

class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace vellamor {

// The colours, fonts, icons and the few framing widgets (page header, card)
// of the diagnostics, log and about views, in one place. Colours follow the
// widget's palette, so light and dark themes both read well.
class DiagnosticsStyle {
public:
    DiagnosticsStyle() = delete;

    enum class Tone { neutral, danger, success };

    static QFont font(qreal points, QFont::Weight weight = QFont::Normal);
    static QFont captionFont();
    static QFont logFont();

    // A label in the system font; secondary text is the palette's faded text.
    static QLabel* label(const QString& text, qreal points, bool secondary, QWidget* parent,
                         QFont::Weight weight = QFont::Normal);
    // The log area: the text background with a faint rounded border.
    static QString logAreaStyleSheet(const QPalette& palette);

    // A pill's text on its tone, tinted lightly.
    static QString pillStyleSheet(Tone tone);
    // The filled copy button: blue, or green once copied.
    static QString copyButtonStyleSheet(bool copied);
    // Links in the palette's link colour, without a bezel.
    static QString linkStyleSheet(const QPalette& palette);

    // A page's title with an optional line under it.
    static QWidget* sectionHeader(const QString& title, const QString& subtitle, QWidget* parent);
    // A rounded card with an optional title above its rows; rows go into `body`.
    static QWidget* card(const QString& title, QVBoxLayout*& body, QWidget* parent);
    static QFrame* rowDivider(QWidget* parent);

    static QIcon refreshIcon();
    static QIcon copyIcon();
    static QIcon folderIcon();
    static QIcon clipboardIcon(bool copied);
};

} // namespace vellamor
