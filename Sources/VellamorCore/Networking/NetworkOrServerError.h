#pragma once

#include "Networking/TextTransformAPIError.h"
#include "Support/Error.h"

#include <QString>

#include <utility>

namespace vellamor {

// The shape of an error enumeration with the two cases `network(detail)`
// and `server(code, message)`, worded as the text-transform client's cases
// of the same names: "网络异常：" + detail, "服务异常 " + code + "：" + message.
// Each client derives its own type, so their errors stay apart:
//     class SomeAPIError final : public NetworkOrServerError<SomeAPIError> { ... };
// Equal when kind and payload are equal.
template<typename Derived>
class NetworkOrServerError : public Error {
public:
    enum class Kind { network, server };

    static Derived network(QString detail) { return Derived(Kind::network, 0, std::move(detail)); }
    static Derived server(qint64 code, QString message) { return Derived(Kind::server, code, std::move(message)); }

    Kind kind() const { return kind_; }
    qint64 code() const { return code_; }
    // The detail of network, the message of server.
    const QString& message() const { return message_; }

    QString errorDescription() const override { return sameCaseOfTransform().errorDescription(); }
    QString debugDescription() const override { return sameCaseOfTransform().debugDescription(); }

    friend bool operator==(const Derived& a, const Derived& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_ && a.message_ == b.message_;
    }

protected:
    NetworkOrServerError(Kind kind, qint64 code, QString message)
        : kind_(kind), code_(code), message_(std::move(message))
    {
    }

private:
    TextTransformAPIError sameCaseOfTransform() const
    {
        return kind_ == Kind::server ? TextTransformAPIError::server(code_, message_)
                                     : TextTransformAPIError::network(message_);
    }

    Kind kind_;
    qint64 code_;
    QString message_;
};

} // namespace vellamor
