#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// The failures of the usage-and-plan and wallet clients, each with a fixed
// Chinese user text. Equal when kind and payload are equal.
class UsageAPIError final : public Error {
public:
    enum class Kind { business, quotaExhausted, transport, decodingFailed, missingToken, unauthorized, encodingFailed };

    // "业务错误 " + code + "：" + message
    static UsageAPIError business(qint64 code, QString message);
    // "当前额度已用完：" + message
    static UsageAPIError quotaExhausted(QString message);
    // "网络错误：" + detail
    static UsageAPIError transport(QString detail);
    // "响应解析失败：" + detail
    static UsageAPIError decodingFailed(QString detail);
    // "未登录账号"
    static UsageAPIError missingToken();
    // "登录已过期，请重新登录"
    static UsageAPIError unauthorized();
    // "请求编码失败"
    static UsageAPIError encodingFailed();

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    // The message of business and quotaExhausted, the detail of transport and decodingFailed.
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const UsageAPIError& a, const UsageAPIError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    UsageAPIError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
