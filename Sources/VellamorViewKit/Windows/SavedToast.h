#pragma once

#include <QWidget>

namespace vellamor {

// The small "已保存" capsule that confirms a saved change. Hidden, it keeps
// its place in the layout but is transparent and lifted 8 up; `reveal`
// runs from hidden (0) to shown (1) for animations. It has no timer: its
// owner shows and hides it.
class SavedToast : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double reveal READ reveal WRITE setReveal)

public:
    // Around the capsule on every side, for its shadow.
    static constexpr int shadowMargin = 8;

    explicit SavedToast(QWidget* parent = nullptr);

    bool isShown() const { return reveal_ >= 1; }
    void setShown(bool shown) { setReveal(shown ? 1 : 0); }

    double reveal() const { return reveal_; }
    void setReveal(double reveal);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double reveal_ = 0;
};

} // namespace vellamor
