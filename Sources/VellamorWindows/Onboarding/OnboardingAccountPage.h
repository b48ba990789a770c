#pragma once

#include "Auth/AuthState.h"
#include "Support/Async/Published.h"
#include "Windows/ProminentButton.h"

#include <QWidget>

#include <functional>

namespace vellamor {

class AuthSessionObserver;
class SymbolView;
class ThemedLabel;

// The account step: asks a signed-out user to sign in through the sign-in
// sheet and confirms the account once signed in, following the session live.
class OnboardingAccountPage final : public QWidget {
    Q_OBJECT

public:
    // `presentSignIn` opens the sign-in sheet over the given widget's window.
    OnboardingAccountPage(AuthSessionObserver& auth, std::function<void(QWidget*)> presentSignIn,
                          QWidget* parent = nullptr);

    ProminentButton& signInButton() const { return *signIn_; }

private:
    void showState(const AuthState& state);

    SymbolView* icon_;
    ThemedLabel* heading_;
    ThemedLabel* subtitle_;
    ProminentButton* signIn_;
    QWidget* badge_;
    ThemedLabel* badgeText_;
    Subscription state_;
};

} // namespace vellamor
