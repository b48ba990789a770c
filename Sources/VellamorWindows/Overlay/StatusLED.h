#pragma once

#include <QColor>
#include <QWidget>

class QGraphicsDropShadowEffect;

namespace vellamor {

// The status dot: a glowing circle in its colour, or, for a cancelled
// session, a small grey cross that ignores the colour.
class StatusLED : public QWidget {
    Q_OBJECT

public:
    explicit StatusLED(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    const QColor& color() const { return color_; }
    void setCancelled(bool cancelled);
    bool isCancelled() const { return cancelled_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
    bool cancelled_ = false;
    QGraphicsDropShadowEffect* glow_;
};

} // namespace vellamor
