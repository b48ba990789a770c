#pragma once

#include "Support/Error.h"
#include "Support/TextEscaping.h"

#include <QString>

#include <utility>

namespace vellamor {

// The shape of an error enumeration of a client that words its failures as
// "业务错误" and "网络错误": six shared cases, which `KindEnum` declares in the
// client's own order next to the client's own cases. The derived type adds
// factories for its own cases and words them by overriding the two
// descriptions, falling back on these for the shared ones:
//     enum class SomeAPIErrorKind { business, transport, decodingFailed, missingToken, unauthorized, encodingFailed };
//     class SomeAPIError final : public BusinessOrTransportError<SomeAPIError, SomeAPIErrorKind> { ... };
// Each client derives its own type, so their errors stay apart. Equal when
// kind and payload are equal.
template<typename Derived, typename KindEnum>
class BusinessOrTransportError : public Error {
public:
    using Kind = KindEnum;

    // "业务错误 " + code + "：" + message
    static Derived business(qint64 code, QString message) { return Derived(Kind::business, code, std::move(message)); }
    // "网络错误：" + detail
    static Derived transport(QString detail) { return Derived(Kind::transport, 0, std::move(detail)); }
    // "响应解析失败：" + detail
    static Derived decodingFailed(QString detail) { return Derived(Kind::decodingFailed, 0, std::move(detail)); }
    // "未登录账号"
    static Derived missingToken() { return Derived(Kind::missingToken, 0, {}); }
    // "登录已过期，请重新登录"
    static Derived unauthorized() { return Derived(Kind::unauthorized, 0, {}); }
    // "请求编码失败"
    static Derived encodingFailed() { return Derived(Kind::encodingFailed, 0, {}); }

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    // The message of business, the detail of transport and decodingFailed,
    // the text of a client's own case that carries one.
    const QString& message() const { return message_; }

    QString errorDescription() const override
    {
        switch (kind_) {
        case Kind::business:
            return QStringLiteral("业务错误 ") + QString::number(code_) + QStringLiteral("：") + message_;
        case Kind::transport:
            return QStringLiteral("网络错误：") + message_;
        case Kind::decodingFailed:
            return QStringLiteral("响应解析失败：") + message_;
        case Kind::missingToken:
            return QStringLiteral("未登录账号");
        case Kind::unauthorized:
            return QStringLiteral("登录已过期，请重新登录");
        case Kind::encodingFailed:
            return QStringLiteral("请求编码失败");
        default:
            return {};
        }
    }

    QString debugDescription() const override
    {
        switch (kind_) {
        case Kind::business:
            return QStringLiteral("business(code: ") + QString::number(code_) + QStringLiteral(", message: ")
                + quotedMessage() + QLatin1Char(')');
        case Kind::transport:
            return QStringLiteral("transport(") + quotedMessage() + QLatin1Char(')');
        case Kind::decodingFailed:
            return QStringLiteral("decodingFailed(") + quotedMessage() + QLatin1Char(')');
        case Kind::missingToken:
            return QStringLiteral("missingToken");
        case Kind::unauthorized:
            return QStringLiteral("unauthorized");
        case Kind::encodingFailed:
            return QStringLiteral("encodingFailed");
        default:
            return {};
        }
    }

    friend bool operator==(const Derived& a, const Derived& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

protected:
    BusinessOrTransportError(Kind kind, qint64 code, QString message)
        : kind_(kind)
        , code_(code)
        , message_(std::move(message))
    {
    }

    // The message as the debug description shows a string payload.
    QString quotedMessage() const { return debugQuoted(message_); }

private:
    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
