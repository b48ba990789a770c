#pragma once

#include "Support/Async/Published.h"

#include <QWidget>

class QVariantAnimation;

namespace vellamor {

class ThemedLabel;

// The first-dictation step: three instructions and a pill that breathes
// while waiting and turns green once a dictation has completed.
class OnboardingFirstRunPage final : public QWidget {
    Q_OBJECT

public:
    enum class Phase { waiting, detected };

    OnboardingFirstRunPage(Published<bool>& hasTriedRecording, const QString& hotkeyName, QWidget* parent = nullptr);

    Phase phase() const { return phase_; }

private:
    void showPhase(Phase phase);

    QString hotkeyName_;
    Phase phase_ = Phase::waiting;
    QWidget* pill_;
    QWidget* dot_;
    QWidget* check_;
    ThemedLabel* status_;
    QVariantAnimation* pulse_;
    Subscription flag_;
};

} // namespace vellamor
