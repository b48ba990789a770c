#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// The failures of TextTransformAPI, each with a fixed Chinese user text.
// Equal when kind and payload are equal.
class TextTransformAPIError final : public Error {
public:
    enum class Kind { network, server, quotaExhausted, pointsBalanceExhausted };

    // "网络异常：" + detail
    static TextTransformAPIError network(QString detail);
    // "服务异常 " + code + "：" + message
    static TextTransformAPIError server(qint64 code, QString message);
    // "当前额度已用完：" + message
    static TextTransformAPIError quotaExhausted(QString message);
    // "积分余额不足，请升级或购买积分包"
    static TextTransformAPIError pointsBalanceExhausted();

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    // The detail of network, the message of server and quotaExhausted.
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const TextTransformAPIError& a, const TextTransformAPIError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    TextTransformAPIError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
