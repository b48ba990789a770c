#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// Every failure InputSourceAPI detects itself, with the text the card and
// the pairing sheet show: the texts of UsageAPIError's cases of the same
// names. The HTTP session's own errors are not wrapped. Equal when kind and
// payload are equal.
class InputSourceAPIError final : public Error {
public:
    // Declaration order of the cases.
    enum class Kind { business, transport, decodingFailed, missingToken, unauthorized, encodingFailed };

    // "业务错误 " + code + "：" + message
    static InputSourceAPIError business(qint64 code, QString message);
    // "网络错误：" + detail ("invalid response" or "HTTP <status>")
    static InputSourceAPIError transport(QString detail);
    // "响应解析失败：" + detail (the decoder's description or "empty data")
    static InputSourceAPIError decodingFailed(QString detail);
    // "未登录账号"
    static InputSourceAPIError missingToken();
    // "登录已过期，请重新登录"
    static InputSourceAPIError unauthorized();
    // "请求编码失败"
    static InputSourceAPIError encodingFailed();

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    // The message of business, the detail of transport and decodingFailed.
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const InputSourceAPIError& a, const InputSourceAPIError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    InputSourceAPIError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
