#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

namespace vellamor {

// One setting: its title and explanation on the left, its control on the right.
class SettingsRow : public QWidget {
    Q_OBJECT

public:
    // Takes over `control`; none for a row without one.
    SettingsRow(const QString& title, const std::optional<QString>& subtitle, QWidget* control,
                QWidget* parent = nullptr);

    // Replaces the explanation of a row built with one.
    void setSubtitle(const QString& subtitle);
    QString subtitle() const;

private:
    QLabel* explanation_ = nullptr;
};

} // namespace vellamor
