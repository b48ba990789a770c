#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A refusal by LogReader::readRemote itself; transport, serialisation and
// decoding failures pass through as their own errors instead.
class LogReaderError final : public Error {
public:
    enum class Kind { httpStatus, businessError, missingToken, unauthorized, invalidResponse };

    static LogReaderError httpStatus(int status);
    static LogReaderError businessError(qint64 code, QString message);
    static LogReaderError missingToken();
    static LogReaderError unauthorized();
    static LogReaderError invalidResponse();

    Kind kind() const { return kind_; }
    // The HTTP status of httpStatus or the result code of businessError.
    qint64 code() const { return code_; }
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const LogReaderError& a, const LogReaderError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    LogReaderError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
