#pragma once

#include <QString>
#include <QWidget>

#include <optional>

namespace vellamor {

// A page's title, with a line of explanation below it when given.
class SectionHeader : public QWidget {
    Q_OBJECT

public:
    explicit SectionHeader(const QString& title, const std::optional<QString>& subtitle = std::nullopt,
                           QWidget* parent = nullptr);
};

} // namespace vellamor
