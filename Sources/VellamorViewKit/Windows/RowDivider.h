#pragma once

#include <QWidget>

namespace vellamor {

// The one-pixel line between two rows of a card or two parts of a window,
// with `margin` free pixels above and below it, in the theme's divider
// colour read at each paint.
class RowDivider : public QWidget {
    Q_OBJECT

public:
    explicit RowDivider(QWidget* parent = nullptr, int margin = 2);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int margin_;
};

} // namespace vellamor
