#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A refusal by RemoteLogReader::read itself; transport, serialisation and
// decoding failures pass through as their own errors instead.
class RemoteLogReaderError final : public Error {
public:
    enum class Kind { httpStatus, businessError, missingToken, unauthorized, invalidResponse };

    static RemoteLogReaderError httpStatus(int status);
    static RemoteLogReaderError businessError(qint64 code, QString message);
    static RemoteLogReaderError missingToken();
    static RemoteLogReaderError unauthorized();
    static RemoteLogReaderError invalidResponse();

    Kind kind() const { return kind_; }
    // The HTTP status of httpStatus or the result code of businessError.
    qint64 code() const { return code_; }
    const QString& message() const { return message_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    friend bool operator==(const RemoteLogReaderError& a, const RemoteLogReaderError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

private:
    RemoteLogReaderError(Kind kind, qint64 code, QString message);

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
