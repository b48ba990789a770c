#pragma once

#include "Auth/AuthState.h"
#include "Models/AuthAPIError.h"
#include "Support/Async/Published.h"
#include "Support/Date.h"

#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace vellamor {

class AuthSession;
class AuthSheetPresenter;
class UserDefaults;

// Who is signed in, with the way in or out: the card at the top of the
// account page. It shows one of three faces, chosen afresh whenever the
// session publishes: signed in (address, last sign-in, "退出登录", and once
// per registration a welcome line), signed out after the session was lost
// at start-up (why, and "重新登录"), or signed out. It never talks to the
// backend; it opens the sign-in sheet and hands signing out and clearing
// the start-up failure to the session, and follows what the session
// publishes. Main thread only.
class AccountCard : public QWidget {
    Q_OBJECT

public:
    enum class Face { signedOut, startupFailure, signedIn };

    // `defaults` holds the session's mark of a new registration.
    AccountCard(std::shared_ptr<AuthSession> session, AuthSheetPresenter& signIn,
                std::shared_ptr<UserDefaults> defaults, QWidget* parent = nullptr);
    ~AccountCard() override;

    Face face() const { return face_; }

    // "上次登录 " and how long ago, or "首次登录".
    static QString lastLoginText(const AuthMe& me, Date now);
    // Why the session restored at start-up was given up, as the card says it.
    static QString bootstrapErrorMessage(const AuthAPIError& error);

private:
    void render();
    void signOut();
    void signInAgain();
    // The welcome line, when the session marked a new registration; the mark
    // is used up.
    void readJustRegistered();

    std::shared_ptr<AuthSession> session_;
    AuthSheetPresenter& signIn_;
    std::shared_ptr<UserDefaults> defaults_;
    AuthState state_;
    std::optional<AuthAPIError> bootstrapError_;
    Face face_ = Face::signedOut;
    bool loggingOut_ = false;
    bool justRegistered_ = false;

    QStackedLayout* faces_;
    QWidget* signedOutFace_;
    QWidget* failureFace_;
    QLabel* failureMessage_;
    QWidget* signedInFace_;
    QLabel* welcome_;
    QLabel* email_;
    QLabel* lastLogin_;
    QPushButton* signOut_;
    Subscription stateSubscription_;
    Subscription errorSubscription_;
};

} // namespace vellamor
