#pragma once

#include <QWidget>

namespace vellamor {

// The one-pixel line between a window's parts, in the theme's divider
// colour, read at each paint so it follows light and dark.
class Hairline final : public QWidget {
public:
    explicit Hairline(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellamor
