#include "Models/AuthAPIError.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

AuthAPIError::AuthAPIError(Kind kind, QString text, qint64 code, qint32 status)
    : kind_(kind), text_(std::move(text)), code_(code), status_(status)
{
}

AuthAPIError AuthAPIError::userBanned(QString reason)
{
    return AuthAPIError(Kind::userBanned, std::move(reason));
}

AuthAPIError AuthAPIError::network(QString detail)
{
    return AuthAPIError(Kind::network, std::move(detail));
}

AuthAPIError AuthAPIError::server(qint64 code, QString message)
{
    return AuthAPIError(Kind::server, std::move(message), code);
}

AuthAPIError AuthAPIError::keychainCleanupFailed(qint32 status)
{
    return AuthAPIError(Kind::keychainCleanupFailed, {}, 0, status);
}

AuthAPIError AuthAPIError::keychainWriteFailed(qint32 status)
{
    return AuthAPIError(Kind::keychainWriteFailed, {}, 0, status);
}

QString AuthAPIError::errorDescription() const
{
    switch (kind_) {
    case Kind::userBanned:
        return text_.isEmpty() ? QStringLiteral("账号已被封禁") : QStringLiteral("账号已被封禁：") + text_;
    case Kind::network:
        return QStringLiteral("网络异常：") + text_;
    case Kind::server:
        return QStringLiteral("服务异常 ") + QString::number(code_) + QStringLiteral("：") + text_;
    case Kind::keychainCleanupFailed:
        return QStringLiteral("退出成功，但本地登录凭据清理失败（密钥环状态 ") + QString::number(status_)
            + QStringLiteral("），请检查密钥环访问权限");
    case Kind::keychainWriteFailed:
        return QStringLiteral("登录失败：无法安全存储登录凭据（密钥环状态 ") + QString::number(status_)
            + QStringLiteral("），请检查应用权限或联系开发者");
    case Kind::invalidEmail:
        return QStringLiteral("邮箱格式不正确");
    case Kind::invalidPassword:
        return QStringLiteral("密码长度需为 8-128 位");
    case Kind::invalidCode:
        return QStringLiteral("验证码错误，请重新输入");
    case Kind::codeExpired:
        return QStringLiteral("验证码已过期，请重新发送");
    case Kind::tooManyRequests:
        return QStringLiteral("请求过于频繁，请稍后再试");
    case Kind::credentialsInvalid:
        return QStringLiteral("邮箱或密码不正确");
    case Kind::tokenInvalid:
        return QStringLiteral("登录凭据无效，请重新登录");
    case Kind::tokenExpired:
        return QStringLiteral("登录已过期，请重新登录");
    case Kind::tokenRevoked:
        return QStringLiteral("登录已失效，请重新登录");
    case Kind::mailerFailed:
        return QStringLiteral("验证码邮件发送失败，请稍后重试");
    case Kind::unauthorized:
        return QStringLiteral("未登录");
    }
    return {};
}

QString AuthAPIError::kindName(Kind kind)
{
    switch (kind) {
    case Kind::userBanned:
        return QStringLiteral("userBanned");
    case Kind::network:
        return QStringLiteral("network");
    case Kind::server:
        return QStringLiteral("server");
    case Kind::keychainCleanupFailed:
        return QStringLiteral("keychainCleanupFailed");
    case Kind::keychainWriteFailed:
        return QStringLiteral("keychainWriteFailed");
    case Kind::invalidEmail:
        return QStringLiteral("invalidEmail");
    case Kind::invalidPassword:
        return QStringLiteral("invalidPassword");
    case Kind::invalidCode:
        return QStringLiteral("invalidCode");
    case Kind::codeExpired:
        return QStringLiteral("codeExpired");
    case Kind::tooManyRequests:
        return QStringLiteral("tooManyRequests");
    case Kind::credentialsInvalid:
        return QStringLiteral("credentialsInvalid");
    case Kind::tokenInvalid:
        return QStringLiteral("tokenInvalid");
    case Kind::tokenExpired:
        return QStringLiteral("tokenExpired");
    case Kind::tokenRevoked:
        return QStringLiteral("tokenRevoked");
    case Kind::mailerFailed:
        return QStringLiteral("mailerFailed");
    case Kind::unauthorized:
        return QStringLiteral("unauthorized");
    }
    return {};
}

QString AuthAPIError::debugDescription() const
{
    const QString name = kindName(kind_);
    switch (kind_) {
    case Kind::userBanned:
    case Kind::network:
        return name + QLatin1Char('(') + debugQuoted(text_) + QLatin1Char(')');
    case Kind::server:
        return name + QStringLiteral("(code: ") + QString::number(code_) + QStringLiteral(", message: ")
            + debugQuoted(text_) + QLatin1Char(')');
    case Kind::keychainCleanupFailed:
    case Kind::keychainWriteFailed:
        return name + QLatin1Char('(') + QString::number(status_) + QLatin1Char(')');
    default:
        return name;
    }
}

} // namespace vellamor
