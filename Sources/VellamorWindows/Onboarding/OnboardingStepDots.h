#pragma once

#include <QWidget>

namespace vellamor {

// The guide's progress: a wide blue capsule for the current step, narrower
// faded ones for the steps passed and small grey ones for those to come.
class OnboardingStepDots final : public QWidget {
    Q_OBJECT

public:
    OnboardingStepDots(int current, int total, QWidget* parent = nullptr);

    void setCurrent(int current);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int current_;
    int total_;
};

} // namespace vellamor
