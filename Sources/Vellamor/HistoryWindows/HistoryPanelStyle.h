#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>

namespace vellamor {

// Everything the history panel draws with: semantic colours that follow the
// palette in light and dark, fonts given in the design's points (one point
// per device-independent pixel, whatever the screen's DPI) and the few
// symbols it shows.
class HistoryPanelStyle {
public:
    enum class Symbol { xmark, infoCircle, exclamationBubble, exclamationTriangle, clockArrow };

    explicit HistoryPanelStyle(const QPalette& palette);

    QColor primary() const { return primary_; }
    QColor secondary() const;
    QColor windowBackground() const { return window_; }
    QColor divider() const { return withOpacity(primary_, 0.12); }
    QColor green() const;
    QColor orange() const;

    static QColor withOpacity(QColor color, qreal opacity);
    static QFont font(qreal points, QFont::Weight weight = QFont::Normal);
    // A square image of `points` at the screen's pixel ratio.
    static QPixmap symbol(Symbol symbol, qreal points, const QColor& color);

private:
    bool isDark() const;

    QColor primary_;
    QColor window_;
};

} // namespace vellamor
