#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A failure of the transport to the backend rather than a refusal by it.
class VellamorTransportError final : public Error {
public:
    // Declaration order is the case index shown in errorDescription().
    enum class Kind {
        decodingFailed,   // detail(): the decoder's description
        unexpectedStatus, // status(): the HTTP status
        invalidURL,
        encodingFailed,
        connectionClosed,
        timeout,
        cancelled,
    };

    static VellamorTransportError decodingFailed(QString detail);
    static VellamorTransportError unexpectedStatus(int status);
    static VellamorTransportError invalidURL();
    static VellamorTransportError encodingFailed();
    static VellamorTransportError connectionClosed();
    static VellamorTransportError timeout();
    static VellamorTransportError cancelled();

    Kind kind() const { return kind_; }
    // The payload of decodingFailed; empty for the other cases.
    const QString& detail() const { return detail_; }
    // The payload of unexpectedStatus; 0 for the other cases.
    int status() const { return status_; }
    int caseIndex() const { return static_cast<int>(kind_); }

    // The error has no text of its own; this is the generic wording the
    // platform shows for such an error: "未能完成操作。（VellamorTransportError 错误 N。）".
    QString errorDescription() const override;
    // `decodingFailed("detail")`, `unexpectedStatus(502)`, `timeout`.
    QString debugDescription() const override;

    friend bool operator==(const VellamorTransportError& a, const VellamorTransportError& b)
    {
        return a.kind_ == b.kind_ && a.detail_ == b.detail_ && a.status_ == b.status_;
    }

private:
    VellamorTransportError(Kind kind, QString detail, int status);

    Kind kind_;
    QString detail_;
    int status_;
};

} // namespace vellamor
