#pragma once

#include <QColor>
#include <QPushButton>
#include <QString>

#include <functional>

namespace vellamor {

// A push button led by a symbol, `size` logical pixels square, in a colour
// read from the window theme; it re-tints itself when the palette switches
// between light and dark. Without text it shows the symbol alone.
class SymbolButton : public QPushButton {
    Q_OBJECT

public:
    SymbolButton(const QString& symbol, const QString& text, double size, std::function<QColor()> ink,
                 QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyIcon();

    QString symbol_;
    double size_;
    std::function<QColor()> ink_;
};

} // namespace vellamor
