#pragma once

#include <QColor>
#include <QPushButton>

#include <functional>

namespace vellamor {

// The windows' bordered prominent button: white text on a rounded ground of
// its tint (darkened where white would not read on it), dimmed while
// disabled. The tint is read again whenever the
// palette changes, so it follows light and dark.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    using Tint = std::function<QColor()>;

    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

    // Blue unless set.
    void setTint(Tint tint);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLook();

    Tint tint_;
};

} // namespace vellamor
