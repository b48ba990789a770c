#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// Every failure the data-sync client detects itself, with the text the
// dictionary window shows. The HTTP session's own errors are not wrapped.
// Equal when kind and payload are equal.
class DataSyncError final : public Error {
public:
    // Declaration order of the cases.
    enum class Kind {
        invalidInput,
        business,
        transport,
        decodingFailed,
        missingToken,
        unauthorized,
        notFound,
        encodingFailed
    };

    // The text itself.
    static DataSyncError invalidInput(QString text);
    // "业务错误 " + code + "：" + message
    static DataSyncError business(qint64 code, QString message);
    // "网络错误：" + detail ("invalid response" or "HTTP <status>")
    static DataSyncError transport(QString detail);
    // "响应解析失败：" + detail
    static DataSyncError decodingFailed(QString detail);
    // "未登录账号"
    static DataSyncError missingToken();
    // "登录已过期，请重新登录"
    static DataSyncError unauthorized();
    // "记录不存在"
    static DataSyncError notFound();
    // "请求编码失败"
    static DataSyncError encodingFailed();

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    // The text of invalidInput, the message of business, the detail of
    // transport and decodingFailed.
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const DataSyncError& a, const DataSyncError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    DataSyncError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
