#include "FakeAuthAPI.h"

#include "Support/Async/Sleep.h"

#include <stdexcept>

namespace vellamor::test {

QString FakeAuthAPI::opName(Op op)
{
    static const char* const names[] = {"requestCode",        "verifyCode",        "login",   "requestLoginCode",
                                        "loginWithCode",      "requestUnifiedCode", "verifyUnifiedCode",
                                        "refresh",            "me",                "logout"};
    return QString::fromLatin1(names[static_cast<int>(op)]);
}

FakeAuthAPI& FakeAuthAPI::succeed(Op op, Value value, std::chrono::milliseconds delay)
{
    scripts_[static_cast<int>(op)].push_back(Outcome{std::move(value), nullptr, delay});
    return *this;
}

FakeAuthAPI& FakeAuthAPI::fail(Op op, std::exception_ptr error, std::chrono::milliseconds delay)
{
    scripts_[static_cast<int>(op)].push_back(Outcome{{}, std::move(error), delay});
    return *this;
}

QCoro::Task<FakeAuthAPI::Value> FakeAuthAPI::answer(Op op, QStringList arguments, std::stop_token token)
{
    arguments.prepend(opName(op));
    calls_.append(arguments.join(QLatin1Char(' ')));
    counts_[op] += 1;
    auto& script = scripts_[static_cast<int>(op)];
    if (script.empty())
        throw std::logic_error("FakeAuthAPI: nothing scripted for " + opName(op).toStdString());
    const Outcome outcome = script.front();
    script.pop_front();
    // A conditional expression inside co_await is destroyed twice by g++ 12.
    std::stop_token waitToken;
    if (!refreshIgnoresStop_)
        waitToken = token;
    if (!co_await sleepFor(outcome.delay, std::move(waitToken))) {
        ++cancelledRefreshes_;
        throw AuthAPIError::network(QStringLiteral("已取消"));
    }
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return outcome.value;
}

QCoro::Task<void> FakeAuthAPI::requestCode(QString email, QString password)
{
    co_await answer(Op::requestCode, QStringList() << email << password);
}

QCoro::Task<AuthAPIProtocol::SignIn> FakeAuthAPI::verifyCode(QString email, QString code)
{
    co_return std::get<SignIn>(co_await answer(Op::verifyCode, QStringList() << email << code));
}

QCoro::Task<AuthAPIProtocol::SignIn> FakeAuthAPI::login(QString email, QString password)
{
    co_return std::get<SignIn>(co_await answer(Op::login, QStringList() << email << password));
}

QCoro::Task<void> FakeAuthAPI::requestLoginCode(QString email)
{
    co_await answer(Op::requestLoginCode, QStringList() << email);
}

QCoro::Task<AuthAPIProtocol::SignIn> FakeAuthAPI::loginWithCode(QString email, QString code)
{
    co_return std::get<SignIn>(co_await answer(Op::loginWithCode, QStringList() << email << code));
}

QCoro::Task<RequestCodeResponse> FakeAuthAPI::requestUnifiedCode(QString email)
{
    co_return std::get<RequestCodeResponse>(co_await answer(Op::requestUnifiedCode, QStringList() << email));
}

QCoro::Task<VerifyCodeResponse> FakeAuthAPI::verifyUnifiedCode(QString email, QString code)
{
    co_return std::get<VerifyCodeResponse>(co_await answer(Op::verifyUnifiedCode, QStringList() << email << code));
}

QCoro::Task<AuthTokens> FakeAuthAPI::refresh(QString refreshToken, std::stop_token token)
{
    co_return std::get<AuthTokens>(co_await answer(Op::refresh, QStringList() << refreshToken, std::move(token)));
}

QCoro::Task<AuthMe> FakeAuthAPI::me(QString accessToken)
{
    co_return std::get<AuthMe>(co_await answer(Op::me, QStringList() << accessToken));
}

QCoro::Task<void> FakeAuthAPI::logout(QString refreshToken)
{
    co_await answer(Op::logout, QStringList() << refreshToken);
}

} // namespace vellamor::test
