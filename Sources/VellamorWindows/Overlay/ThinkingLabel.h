#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace vellamor {

// A one-line text followed by three dots that rise and brighten in turn, a
// full cycle about every 1.5 s. It redraws at most 30 times a second and
// only while it is on screen.
class ThinkingLabel : public QWidget {
    Q_OBJECT

public:
    explicit ThinkingLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    void setColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString text_;
    QFont font_;
    QColor color_;
    QTimer timeline_;
};

} // namespace vellamor
