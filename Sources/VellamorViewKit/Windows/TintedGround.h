#pragma once

#include <QWidget>

namespace vellamor {

// A faint rounded ground in the secondary colour, for what sits on it.
class TintedGround final : public QWidget {
public:
    TintedGround(double radius, double opacity, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius_;
    double opacity_;
};

} // namespace vellamor
