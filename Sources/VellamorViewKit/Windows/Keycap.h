#pragma once

#include <QLabel>

namespace vellamor {

// One key of a shortcut, drawn as a small key cap.
class Keycap : public QLabel {
    Q_OBJECT

public:
    explicit Keycap(const QString& label, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellamor
