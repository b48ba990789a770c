#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

namespace vellamor {

// A symbol drawn at the centre of the widget, `size` logical pixels high,
// in a colour read from the window theme at each paint.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    SymbolView(const QString& name, double size, std::function<QColor()> ink, QWidget* parent = nullptr);

    const QString& name() const { return name_; }
    void setInk(std::function<QColor()> ink);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    double size_;
    std::function<QColor()> ink_;
};

} // namespace vellamor
