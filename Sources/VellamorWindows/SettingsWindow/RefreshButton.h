#pragma once

#include <QToolButton>

class QTimer;

namespace vellamor {

// A borderless "arrow.clockwise" button that turns into a spinner while
// what it started is busy.
class RefreshButton : public QToolButton {
    Q_OBJECT

public:
    explicit RefreshButton(const QString& toolTip, QWidget* parent = nullptr);

    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* spin_;
    int angle_ = 0;
    bool busy_ = false;
};

} // namespace vellamor
