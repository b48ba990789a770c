#pragma once

#include <QAbstractButton>

namespace vellamor {

// An on/off switch without a label. `clicked` is the user's change;
// setChecked() moves it silently as far as `clicked` goes.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellamor
