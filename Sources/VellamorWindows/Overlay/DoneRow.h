#pragma once

#include <QVariantAnimation>
#include <QWidget>

namespace vellamor {

class OverlayViewModel;
class PinButton;

// A finished dictation without text to show: a check mark that draws itself
// each time the row appears, "已插入" and the pin.
class DoneRow : public QWidget {
    Q_OBJECT

public:
    // `model` must outlive the row.
    explicit DoneRow(OverlayViewModel& model, QWidget* parent = nullptr);

    void apply();
    // How much of the check mark is drawn, 0...1.
    double checkProgress() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    OverlayViewModel& model_;
    QWidget* checkSlot_;
    PinButton* pin_;
    QVariantAnimation draw_;
};

} // namespace vellamor
