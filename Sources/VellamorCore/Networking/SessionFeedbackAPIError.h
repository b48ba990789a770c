#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// The failures of SessionFeedbackAPI, with the same texts as the
// text-transform client's cases of the same names. Equal when kind and
// payload are equal.
class SessionFeedbackAPIError final : public Error {
public:
    enum class Kind { network, server };

    // "网络异常：" + detail
    static SessionFeedbackAPIError network(QString detail);
    // "服务异常 " + code + "：" + message
    static SessionFeedbackAPIError server(qint64 code, QString message);

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const SessionFeedbackAPIError& a, const SessionFeedbackAPIError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    SessionFeedbackAPIError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
