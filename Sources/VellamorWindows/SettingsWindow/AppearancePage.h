#pragma once

#include "Support/Async/Published.h"

#include <QWidget>

class QComboBox;

namespace vellamor {

class ThemeManager;

// The appearance section: the theme picker and where the island appears.
// Showing the page applies the chosen theme again.
class AppearancePage : public QWidget {
    Q_OBJECT

public:
    explicit AppearancePage(ThemeManager& theme, QWidget* parent = nullptr);

    QComboBox& themePicker() { return *picker_; }

private:
    QComboBox* picker_;
    Subscription modeSubscription_;
};

} // namespace vellamor
