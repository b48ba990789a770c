#pragma once

#include <QWidget>

namespace vellamor {

// The guide's last page: ready, with four tips for daily use.
class OnboardingSuccessPage final : public QWidget {
    Q_OBJECT

public:
    explicit OnboardingSuccessPage(const QString& hotkeyName, QWidget* parent = nullptr);
};

} // namespace vellamor
