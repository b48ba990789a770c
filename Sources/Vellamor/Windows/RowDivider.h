#pragma once

#include <QWidget>

namespace vellamor {

// The thin line between two rows of a card.
class RowDivider : public QWidget {
    Q_OBJECT

public:
    explicit RowDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellamor
