#pragma once

#include <QColor>
#include <QPushButton>

#include <functional>

namespace vellamor {

// The one look of every prominent button in the windows: white text (and
// symbol) on a rounded ground of its tint, darkened until white reads on
// it at 4.5:1 or better, dimmed while disabled. The tint is read again
// whenever the palette changes, so it follows light and dark.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    using Tint = std::function<QColor()>;

    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

    // Blue unless set.
    void setTint(Tint tint);
    // Leads the text with `symbol`, `size` logical pixels square, in white.
    void setSymbol(const QString& symbol, double size);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLook();

    Tint tint_;
};

} // namespace vellamor
