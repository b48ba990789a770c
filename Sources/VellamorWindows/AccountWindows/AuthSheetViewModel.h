#pragma once

#include "AccountWindows/AuthSheetState.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace vellamor {

class AuthAPIProtocol;
class AuthSession;

// What the sign-in sheet does: it asks the authentication client for codes
// and hands the sign-in itself to the shared session, which stores the
// tokens and tells the rest of the application. The sheet learns nothing
// back but success or the failure's text; on success it asks to be
// dismissed. Every request carries the trimmed address.
//
// Rules worth knowing:
// - A failure shows its text and leaves everything else as it was, so the
//   user can correct and retry; only a new request, a tab change or
//   "修改邮箱" clear the error line, editing does not.
// - The resend countdown always starts at 60 s and ticks through the given
//   sleep; changing the address keeps it running, changing the tab or
//   disappear() stops it.
// Main thread only.
class AuthSheetViewModel : public QObject {
    Q_OBJECT

public:
    using Tab = AuthSheetState::Tab;
    using Step = AuthSheetState::Step;

    static constexpr int countdownSeconds = 60;

    AuthSheetViewModel(std::shared_ptr<AuthAPIProtocol> codes, std::shared_ptr<AuthSession> session,
                       SleepFunction sleep = &sleepFor, QObject* parent = nullptr);
    ~AuthSheetViewModel() override;

    Published<AuthSheetState> state;

    // Called once a sign-in has succeeded, before the busy flag clears.
    std::function<void()> onDismiss;

    void setEmail(const QString& email);
    void setPassword(const QString& password);
    // Keeps only what the code field may hold (AuthSheetState::filterCode).
    void setCode(const QString& typed);

    // Signs in or requests a code, as the tab and step say; does nothing
    // while busy or while the input is not acceptable.
    void primaryAction();
    // Requests another code for the same address; the step and the typed
    // code stay. Does nothing while the countdown runs or while busy.
    void resend();
    void switchTab(Tab tab);
    // Back to the address: the code and the error go, the purpose and the
    // countdown stay.
    void changeEmail();
    // The sheet went away: the countdown stops.
    void disappear();

private:
    template<typename Change>
    void update(Change change)
    {
        AuthSheetState next = state.value();
        change(next);
        state = std::move(next);
    }
    QCoro::Task<void> performPrimary(std::stop_token token);
    QCoro::Task<void> performResend(std::stop_token token);
    // Shows the failure that `error` carries and clears the busy flag.
    // A new request clears the last error and makes the sheet busy.
    void beginRequest();
    void fail(const std::exception_ptr& error);
    void startCountdown();
    void stopCountdown();
    QCoro::Task<void> countDown(std::stop_token token);

    std::shared_ptr<AuthAPIProtocol> codes_;
    std::shared_ptr<AuthSession> session_;
    SleepFunction sleep_;
    std::optional<TaskHandle> countdownTask_;
};

} // namespace vellamor
