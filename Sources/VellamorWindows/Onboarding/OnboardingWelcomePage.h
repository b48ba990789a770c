#pragma once

#include <QWidget>

namespace vellamor {

// The guide's first page: what the user will be able to do at its end.
class OnboardingWelcomePage final : public QWidget {
    Q_OBJECT

public:
    // `hotkeyName` names the dictation hotkey in the texts.
    explicit OnboardingWelcomePage(const QString& hotkeyName, QWidget* parent = nullptr);
};

} // namespace vellamor
