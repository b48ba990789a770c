#include "Networking/AuthAPI.h"

#include "Models/VellamorAction.h"
#include "Networking/ActionRequest.h"
#include "Networking/APIResponseEnvelope.h"
#include "Networking/AnyEncodable.h"
#include "Networking/AuthUnauthorizedReason.h"
#include "Networking/FlexibleDate.h"
#include "Networking/TokenPairResp.h"
#include "Networking/UserResp.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

#include <exception>
#include <utility>

namespace vellamor {

namespace {

// "data" of the actions that answer nothing: an object, "ok" optional and unused.
struct OkResp {
    std::optional<bool> ok;
    static OkResp fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return OkResp{reader.optionalBool(u"ok")};
    }
};

struct UnifiedCodeResp {
    QString purpose;
    qint64 expiresInSeconds = 0;
    static UnifiedCodeResp fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return UnifiedCodeResp{reader.requireString(u"purpose"), reader.requireInt64(u"expires_in_seconds")};
    }
};

struct UnifiedVerifyResp {
    TokenPairResp pair;
    std::optional<bool> isNew;
    static UnifiedVerifyResp fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        UnifiedVerifyResp reply;
        reply.pair.accessToken = reader.requireString(u"access_token");
        reply.pair.refreshToken = reader.requireString(u"refresh_token");
        reply.pair.accessExpire = decodeFlexibleDate(reader.value(u"access_expire"), reader.pathFor(u"access_expire"));
        reply.pair.user = UserResp::fromJson(reader.value(u"user"), reader.pathFor(u"user"));
        reply.isNew = reader.optionalBool(u"is_new");
        return reply;
    }
};

struct MeResp {
    UserResp user;
    static MeResp fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return MeResp{UserResp::fromJson(reader.value(u"user"), reader.pathFor(u"user"))};
    }
};

template<typename R>
R decodeReply(const QByteArray& body)
{
    APIResponseEnvelope<R> envelope;
    try {
        envelope = APIResponseEnvelope<R>::decode(body);
    } catch (const std::exception&) {
        throw AuthAPIError::network(QStringLiteral("响应解析失败"));
    }
    if (envelope.code != 0)
        throw AuthAPI::mapServerError(envelope.code, envelope.msg);
    if (!envelope.data)
        throw AuthAPIError::network(QStringLiteral("空响应"));
    return std::move(*envelope.data);
}

AuthAPIProtocol::SignIn signInFrom(const TokenPairResp& pair)
{
    if (!pair.user)
        throw AuthAPIError::network(QStringLiteral("响应解析失败"));
    return {pair.toTokens(), pair.user->toAuthMe()};
}

bool isHorizontalSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString banReason(const QString& message)
{
    const QStringList pieces = message.split(u':', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return {};
    const QString& last = pieces.last();
    qsizetype begin = 0;
    qsizetype end = last.size();
    while (begin < end && isHorizontalSpace(last.at(begin)))
        ++begin;
    while (end > begin && isHorizontalSpace(last.at(end - 1)))
        --end;
    return last.mid(begin, end - begin);
}

QJsonObject fields(const QString& key, const QString& value)
{
    QJsonObject object;
    object.insert(key, value);
    return object;
}

QJsonObject fields(const QString& key1, const QString& value1, const QString& key2, const QString& value2)
{
    QJsonObject object;
    object.insert(key1, value1);
    object.insert(key2, value2);
    return object;
}

} // namespace

AuthAPI::AuthAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session)
    : baseURL_(std::move(baseURL)), session_(std::move(session))
{
}

HTTPRequest AuthAPI::makeRequest(const QString& action, const QJsonObject& payload,
                                 const std::optional<QString>& accessToken) const
{
    std::optional<QString> bearer;
    if (accessToken && !accessToken->isEmpty())
        bearer = accessToken;
    const ActionRequest call{action, AnyEncodable(payload), KeyCasing::unchanged, bearer, requestTimeout};
    try {
        return call.to(baseURL_);
    } catch (const std::exception&) {
        throw AuthAPIError::network(QStringLiteral("请求编码失败"));
    }
}

QCoro::Task<QByteArray> AuthAPI::send(std::shared_ptr<HTTPSession> session, HTTPRequest request,
                                      std::stop_token token)
{
    HTTPResult result;
    std::exception_ptr failure;
    try {
        result = co_await session->data(std::move(request), std::move(token));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        throw AuthAPIError::network(userFacingDescription(failure));
    if (!result.response.isHTTP())
        throw AuthAPIError::network(QStringLiteral("无效响应"));
    const int status = *result.response.statusCode;
    if (status >= 500)
        throw AuthAPIError::network(QStringLiteral("HTTP ") + QString::number(status));
    co_return result.data;
}

QCoro::Task<void> AuthAPI::requestCode(QString email, QString password)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authRegister,
                              fields(QStringLiteral("email"), email, QStringLiteral("password"), password)));
    decodeReply<OkResp>(body);
}

QCoro::Task<AuthAPIProtocol::SignIn> AuthAPI::verifyCode(QString email, QString code)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authVerify,
                              fields(QStringLiteral("email"), email, QStringLiteral("code"), code)));
    co_return signInFrom(decodeReply<TokenPairResp>(body));
}

QCoro::Task<AuthAPIProtocol::SignIn> AuthAPI::login(QString email, QString password)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authLogin,
                              fields(QStringLiteral("email"), email, QStringLiteral("password"), password)));
    co_return signInFrom(decodeReply<TokenPairResp>(body));
}

QCoro::Task<void> AuthAPI::requestLoginCode(QString email)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authRequestLoginCode, fields(QStringLiteral("email"), email)));
    decodeReply<OkResp>(body);
}

QCoro::Task<AuthAPIProtocol::SignIn> AuthAPI::loginWithCode(QString email, QString code)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authLoginWithCode,
                              fields(QStringLiteral("email"), email, QStringLiteral("code"), code)));
    co_return signInFrom(decodeReply<TokenPairResp>(body));
}

QCoro::Task<RequestCodeResponse> AuthAPI::requestUnifiedCode(QString email)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authRequestCode, fields(QStringLiteral("email"), email)));
    const auto reply = decodeReply<UnifiedCodeResp>(body);
    co_return RequestCodeResponse{reply.purpose, reply.expiresInSeconds};
}

QCoro::Task<VerifyCodeResponse> AuthAPI::verifyUnifiedCode(QString email, QString code)
{
    const QByteArray body = co_await send(
        session_, makeRequest(VellamorAction::authVerifyCode,
                              fields(QStringLiteral("email"), email, QStringLiteral("code"), code)));
    const auto reply = decodeReply<UnifiedVerifyResp>(body);
    co_return VerifyCodeResponse{reply.pair.toTokens(), reply.pair.user->toAuthMe(), reply.isNew.value_or(false)};
}

QCoro::Task<AuthTokens> AuthAPI::refresh(QString refreshToken, std::stop_token token)
{
    const QByteArray body = co_await send(
        session_,
        makeRequest(VellamorAction::authRefresh, fields(QStringLiteral("refresh_token"), refreshToken)),
        std::move(token));
    co_return decodeReply<TokenPairResp>(body).toTokens();
}

QCoro::Task<AuthMe> AuthAPI::me(QString accessToken)
{
    const QByteArray body =
        co_await send(session_, makeRequest(VellamorAction::userMe, QJsonObject(), accessToken));
    co_return decodeReply<MeResp>(body).user.toAuthMe();
}

QCoro::Task<void> AuthAPI::logout(QString refreshToken)
{
    const QByteArray body = co_await send(
        session_,
        makeRequest(VellamorAction::authLogout, fields(QStringLiteral("refresh_token"), refreshToken)));
    decodeReply<OkResp>(body);
}

AuthAPIError AuthAPI::mapServerError(qint64 code, const QString& message)
{
    switch (code) {
    case 40001: {
        const QString lower = message.toLower();
        if (lower.contains(u"incorrect"))
            return AuthAPIError::credentialsInvalid();
        if (lower.contains(u"email") && lower.contains(u"format"))
            return AuthAPIError::invalidEmail();
        if (lower.contains(u"password"))
            return AuthAPIError::invalidPassword();
        return AuthAPIError::server(code, message);
    }
    case 40100:
    case 40101:
    case 40102:
    case 40103:
        return AuthUnauthorizedReason::from(code);
    case 40300:
        return AuthAPIError::userBanned(banReason(message));
    case 40403:
        return AuthAPIError::invalidCode();
    case 40404:
        return AuthAPIError::codeExpired();
    case 40901:
        return AuthAPIError::server(code, QStringLiteral("邮箱已注册"));
    case 42901:
        return AuthAPIError::tooManyRequests();
    case 50023:
        return AuthAPIError::mailerFailed();
    default:
        return AuthAPIError::server(code, message);
    }
}

} // namespace vellamor
