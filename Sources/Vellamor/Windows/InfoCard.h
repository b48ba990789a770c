#pragma once

#include <QString>
#include <QWidget>

namespace vellamor {

// A symbol beside a short title and its explanation, placed inside a card.
class InfoCard : public QWidget {
    Q_OBJECT

public:
    InfoCard(const QString& systemIcon, const QString& title, const QString& desc, QWidget* parent = nullptr);
};

} // namespace vellamor
