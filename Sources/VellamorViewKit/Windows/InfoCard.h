#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;

namespace vellamor {

// A symbol beside a short title and its explanation, placed inside a card.
class InfoCard : public QWidget {
    Q_OBJECT

public:
    InfoCard(const QString& systemIcon, const QString& title, const QString& desc, QWidget* parent = nullptr);

    // Lays `row` out as the card does: the symbol at the top left, then what
    // the caller adds to the returned layout.
    static QHBoxLayout* symbolRowLayout(QWidget* row, const QString& systemIcon);
};

} // namespace vellamor
