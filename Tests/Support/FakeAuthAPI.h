#pragma once

#include "Models/AuthAPIError.h"
#include "Networking/AuthAPIProtocol.h"
#include "Support/Async/Channel.h"
#include "Support/Async/Sleep.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <variant>

namespace vellamor::test {

// A scripted authentication client. Each operation takes the next outcome
// scripted for it, waits its delay on the event loop (always at least one
// turn) and then returns its value or throws its error; with nothing
// scripted it throws std::logic_error. A stop request while a refresh waits
// ends it like the real client: network("已取消"). Every call is recorded
// with its arguments ("refresh rt-1", "me at-1", "login a@b.c pw").
class FakeAuthAPI final : public AuthAPIProtocol {
public:
    enum class Op {
        requestCode,
        verifyCode,
        login,
        requestLoginCode,
        loginWithCode,
        requestUnifiedCode,
        verifyUnifiedCode,
        refresh,
        me,
        logout,
    };
    using Value = std::variant<std::monostate, SignIn, RequestCodeResponse, VerifyCodeResponse, AuthTokens, AuthMe>;

    FakeAuthAPI& succeed(Op op, Value value = {}, std::chrono::milliseconds delay = {})
    {
        scripts_[op].push_back(Outcome{std::move(value), nullptr, delay});
        return *this;
    }
    template<typename E>
    FakeAuthAPI& fail(Op op, E error, std::chrono::milliseconds delay = {})
    {
        scripts_[op].push_back(Outcome{{}, std::make_exception_ptr(std::move(error)), delay});
        return *this;
    }

    // The next refresh is a reply already on its way: it ignores stop
    // requests and, after its delay, ends only once releaseRefresh() is called.
    void holdRefresh() { heldRefresh_ = Channel<bool>(); }
    void releaseRefresh()
    {
        if (const auto gate = std::exchange(heldRefresh_, std::nullopt))
            gate->finish();
    }

    const QStringList& calls() const { return calls_; }
    int callCount(Op op) const { return counts_.value(op); }
    int cancelledRefreshes() const { return cancelledRefreshes_; }

    QCoro::Task<void> requestCode(QString email, QString password) override
    {
        return answer<void>(Op::requestCode, {email, password});
    }
    QCoro::Task<SignIn> verifyCode(QString email, QString code) override
    {
        return answer<SignIn>(Op::verifyCode, {email, code});
    }
    QCoro::Task<SignIn> login(QString email, QString password) override
    {
        return answer<SignIn>(Op::login, {email, password});
    }
    QCoro::Task<void> requestLoginCode(QString email) override { return answer<void>(Op::requestLoginCode, {email}); }
    QCoro::Task<SignIn> loginWithCode(QString email, QString code) override
    {
        return answer<SignIn>(Op::loginWithCode, {email, code});
    }
    QCoro::Task<RequestCodeResponse> requestUnifiedCode(QString email) override
    {
        return answer<RequestCodeResponse>(Op::requestUnifiedCode, {email});
    }
    QCoro::Task<VerifyCodeResponse> verifyUnifiedCode(QString email, QString code) override
    {
        return answer<VerifyCodeResponse>(Op::verifyUnifiedCode, {email, code});
    }
    QCoro::Task<AuthTokens> refresh(QString refreshToken, std::stop_token token = {}) override
    {
        return answer<AuthTokens>(Op::refresh, {refreshToken}, std::move(token));
    }
    QCoro::Task<AuthMe> me(QString accessToken) override { return answer<AuthMe>(Op::me, {accessToken}); }
    QCoro::Task<void> logout(QString refreshToken) override { return answer<void>(Op::logout, {refreshToken}); }

private:
    struct Outcome {
        Value value;
        std::exception_ptr error;
        std::chrono::milliseconds delay{0};
    };

    static QString opName(Op op)
    {
        static const char* const names[] = {"requestCode",        "verifyCode",        "login",   "requestLoginCode",
                                            "loginWithCode",      "requestUnifiedCode", "verifyUnifiedCode",
                                            "refresh",            "me",                "logout"};
        return QString::fromLatin1(names[static_cast<int>(op)]);
    }

    // Records the call and waits out the next outcome; rethrows its error.
    template<typename T>
    QCoro::Task<T> answer(Op op, QStringList arguments, std::stop_token token = {})
    {
        arguments.prepend(opName(op));
        calls_.append(arguments.join(QLatin1Char(' ')));
        counts_[op] += 1;
        auto& script = scripts_[op];
        if (script.empty())
            throw std::logic_error("FakeAuthAPI: nothing scripted for " + opName(op).toStdString());
        const Outcome outcome = script.front();
        script.pop_front();
        std::optional<Channel<bool>> held;
        if (op == Op::refresh)
            held = heldRefresh_;
        // A conditional expression inside co_await is destroyed twice by g++ 12.
        std::stop_token waitToken;
        if (!held)
            waitToken = token;
        if (!co_await sleepFor(outcome.delay, std::move(waitToken))) {
            ++cancelledRefreshes_;
            throw AuthAPIError::network(QStringLiteral("已取消"));
        }
        if (held)
            co_await held->next();
        if (outcome.error)
            std::rethrow_exception(outcome.error);
        if constexpr (std::is_void_v<T>)
            co_return;
        else
            co_return std::get<T>(outcome.value);
    }

    QMap<Op, std::deque<Outcome>> scripts_;
    QStringList calls_;
    QMap<Op, int> counts_;
    int cancelledRefreshes_ = 0;
    std::optional<Channel<bool>> heldRefresh_;
};

} // namespace vellamor::test
