#pragma once

#include "Onboarding/OnboardingViewModel.h"
#include "Support/Async/Published.h"

#include <QWidget>

#include <optional>

namespace vellamor {

// The three permissions the guide is about to ask for, each with its live
// status.
class OnboardingOverviewPage final : public QWidget {
    Q_OBJECT

public:
    OnboardingOverviewPage(OnboardingViewModel& vm, const QString& hotkeyName, QWidget* parent = nullptr);

private:
    void showCards(const PermissionStatuses& statuses);

    QString hotkeyName_;
    QWidget* cards_;
    std::optional<PermissionStatuses> shown_;
    Subscription statuses_;
};

} // namespace vellamor
