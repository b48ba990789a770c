#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <span>
#include <vector>

namespace vellamor {

// One capsule bar per level sample (0...1), as high as the view and scaled
// about its centre by the level; a silent bar keeps 18 % of the height.
// Each change eases out over 0.11 s, so ten updates a second read as motion;
// the ease is drawn at the overlay's timeline rate, not at the display's.
class Waveform : public QWidget {
    Q_OBJECT

public:
    static constexpr double barWidth = 3;
    static constexpr double barSpacing = 2.2;

    explicit Waveform(QWidget* parent = nullptr);

    void setSamples(std::span<const float> samples);
    void setColor(const QColor& color);
    const QColor& color() const { return color_; }
    // A change of the levels is still easing in.
    bool isEasing() const { return frames_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where bar `index` of `count` is drawn for level `level`.
    QRectF barRect(int index, int count, double level) const;
    std::vector<double> shown() const;

    QColor color_;
    std::vector<double> from_;
    std::vector<double> to_;
    QEasingCurve curve_;
    QElapsedTimer easeStart_;
    QTimer frames_;
};

} // namespace vellamor
