#include "AccountWindows/AuthSheetViewModel.h"

#include "Auth/AuthSession.h"
#include "Networking/AuthAPIProtocol.h"
#include "Support/Async/Outcome.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include <QPointer>

#include <algorithm>
#include <chrono>

namespace vellamor {

AuthSheetViewModel::AuthSheetViewModel(std::shared_ptr<AuthAPIProtocol> codes, std::shared_ptr<AuthSession> session,
                                       SleepFunction sleep, QObject* parent)
    : QObject(parent)
    , codes_(std::move(codes))
    , session_(std::move(session))
    , sleep_(std::move(sleep))
{
}

AuthSheetViewModel::~AuthSheetViewModel()
{
    stopCountdown();
}

void AuthSheetViewModel::setEmail(const QString& email)
{
    update([&](AuthSheetState& s) { s.email = email; });
}

void AuthSheetViewModel::setPassword(const QString& password)
{
    update([&](AuthSheetState& s) { s.password = password; });
}

void AuthSheetViewModel::setCode(const QString& typed)
{
    update([&](AuthSheetState& s) { s.code = AuthSheetState::filterCode(typed); });
}

void AuthSheetViewModel::primaryAction()
{
    const AuthSheetState& s = state.value();
    if (s.isBusy || !s.primaryEnabled())
        return;
    beginRequest();
    spawn(
        this, QStringLiteral("sign-in sheet request"), [this](std::stop_token token) { return performPrimary(token); });
}

void AuthSheetViewModel::beginRequest()
{
    update([](AuthSheetState& s) {
        s.errorText.reset();
        s.isBusy = true;
    });
}

QCoro::Task<void> AuthSheetViewModel::performPrimary(std::stop_token token)
{
    const AuthSheetState sent = state.value();
    QPointer<AuthSheetViewModel> self(this);
    std::exception_ptr failure;
    try {
        if (sent.tab == Tab::emailCode && sent.step == Step::enterEmail) {
            const RequestCodeResponse reply = co_await codes_->requestUnifiedCode(sent.emailToSend());
            if (token.stop_requested() || !self)
                co_return;
            update([&](AuthSheetState& s) {
                s.pendingPurpose = reply.purpose;
                s.step = Step::enterCode;
                s.code.clear();
            });
            startCountdown();
            update([](AuthSheetState& s) { s.isBusy = false; });
            co_return;
        }
        if (sent.tab == Tab::password)
            co_await session_->loginWithPassword(sent.emailToSend(), sent.password);
        else
            co_await session_->loginWithUnifiedCode(sent.emailToSend(), sent.code);
    } catch (...) {
        failure = std::current_exception();
    }
    if (token.stop_requested() || !self)
        co_return;
    if (failure) {
        fail(failure);
        co_return;
    }
    if (onDismiss)
        onDismiss();
    if (self)
        update([](AuthSheetState& s) { s.isBusy = false; });
}

void AuthSheetViewModel::resend()
{
    const AuthSheetState& s = state.value();
    if (s.resendCountdown >= 1 || s.isBusy)
        return;
    beginRequest();
    spawn(this, QStringLiteral("sign-in code resend"), [this](std::stop_token token) { return performResend(token); });
}

QCoro::Task<void> AuthSheetViewModel::performResend(std::stop_token token)
{
    QPointer<AuthSheetViewModel> self(this);
    const Outcome<RequestCodeResponse> reply =
        co_await outcomeOf(codes_->requestUnifiedCode(state.value().emailToSend()));
    if (token.stop_requested() || !self)
        co_return;
    if (reply.failure) {
        fail(reply.failure);
        co_return;
    }
    update([&](AuthSheetState& s) { s.pendingPurpose = reply.value->purpose; });
    startCountdown();
    update([](AuthSheetState& s) { s.isBusy = false; });
}

void AuthSheetViewModel::fail(const std::exception_ptr& error)
{
    update([&](AuthSheetState& s) {
        s.errorText = userFacingDescription(error);
        s.isBusy = false;
    });
}

void AuthSheetViewModel::switchTab(Tab tab)
{
    if (state.value().tab == tab)
        return;
    stopCountdown();
    update([tab](AuthSheetState& s) {
        s.tab = tab;
        s.step = Step::enterEmail;
        s.code.clear();
        s.errorText.reset();
        s.pendingPurpose.clear();
        s.resendCountdown = 0;
    });
}

void AuthSheetViewModel::changeEmail()
{
    update([](AuthSheetState& s) {
        s.step = Step::enterEmail;
        s.code.clear();
        s.errorText.reset();
    });
}

void AuthSheetViewModel::disappear()
{
    stopCountdown();
}

void AuthSheetViewModel::startCountdown()
{
    stopCountdown();
    update([](AuthSheetState& s) { s.resendCountdown = countdownSeconds; });
    countdownTask_ = spawn(
        this, QStringLiteral("sign-in code countdown"), [this](std::stop_token token) { return countDown(token); });
}

void AuthSheetViewModel::stopCountdown()
{
    if (countdownTask_)
        countdownTask_->cancel();
    countdownTask_.reset();
}

QCoro::Task<void> AuthSheetViewModel::countDown(std::stop_token token)
{
    using namespace std::chrono_literals;
    while (!token.stop_requested()) {
        // A sleep that failed counts as one that ran its course.
        co_await sleep_(1s, token);
        if (token.stop_requested())
            co_return;
        update([](AuthSheetState& s) { s.resendCountdown = std::max(0, s.resendCountdown - 1); });
        if (state.value().resendCountdown < 1)
            co_return;
    }
}

} // namespace vellamor
