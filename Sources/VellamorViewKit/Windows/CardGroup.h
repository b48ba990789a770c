#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace vellamor {

// A titled, rounded card; rows and dividers added to it sit directly on
// each other.
class CardGroup : public QWidget {
    Q_OBJECT

public:
    explicit CardGroup(const std::optional<QString>& title = std::nullopt, QWidget* parent = nullptr);

    // Adds `content` below what the card holds and takes it over.
    void addWidget(QWidget* content);

private:
    QWidget* card_;
    QVBoxLayout* contents_;
};

} // namespace vellamor
