#pragma once

#include "Models/AuthAPIError.h"
#include "Networking/AuthAPIProtocol.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <exception>
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

    FakeAuthAPI& succeed(Op op, Value value = {}, std::chrono::milliseconds delay = {});
    FakeAuthAPI& fail(Op op, std::exception_ptr error, std::chrono::milliseconds delay = {});
    template<typename E>
    FakeAuthAPI& fail(Op op, E error, std::chrono::milliseconds delay = {})
    {
        return fail(op, std::make_exception_ptr(std::move(error)), delay);
    }

    // A refresh that ignores stop requests runs to its scripted end, like a
    // reply already on its way.
    void setRefreshIgnoresStop(bool ignores) { refreshIgnoresStop_ = ignores; }

    const QStringList& calls() const { return calls_; }
    int callCount(Op op) const { return counts_.value(op); }
    int cancelledRefreshes() const { return cancelledRefreshes_; }
    qsizetype pending(Op op) const { return static_cast<qsizetype>(scripts_[static_cast<int>(op)].size()); }

    QCoro::Task<void> requestCode(QString email, QString password) override;
    QCoro::Task<SignIn> verifyCode(QString email, QString code) override;
    QCoro::Task<SignIn> login(QString email, QString password) override;
    QCoro::Task<void> requestLoginCode(QString email) override;
    QCoro::Task<SignIn> loginWithCode(QString email, QString code) override;
    QCoro::Task<RequestCodeResponse> requestUnifiedCode(QString email) override;
    QCoro::Task<VerifyCodeResponse> verifyUnifiedCode(QString email, QString code) override;
    QCoro::Task<AuthTokens> refresh(QString refreshToken, std::stop_token token = {}) override;
    QCoro::Task<AuthMe> me(QString accessToken) override;
    QCoro::Task<void> logout(QString refreshToken) override;

    static QString opName(Op op);

private:
    struct Outcome {
        Value value;
        std::exception_ptr error;
        std::chrono::milliseconds delay{0};
    };

    // Records the call and waits out the next outcome; rethrows its error.
    QCoro::Task<Value> answer(Op op, QStringList arguments, std::stop_token token = {});

    std::deque<Outcome> scripts_[10];
    QStringList calls_;
    QMap<Op, int> counts_;
    int cancelledRefreshes_ = 0;
    bool refreshIgnoresStop_ = false;
};

} // namespace vellamor::test
