#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// The account's database key could not be made, read or stored. Each case
// carries a status in the keychain's numbering (KeychainStatus).
class DBKeyStoreError final : public Error {
public:
    // Declaration order is the case index shown in errorDescription().
    enum class Kind { randomFailed, readFailed, writeFailed };

    static DBKeyStoreError randomFailed(qint32 status) { return DBKeyStoreError(Kind::randomFailed, status); }
    static DBKeyStoreError readFailed(qint32 status) { return DBKeyStoreError(Kind::readFailed, status); }
    static DBKeyStoreError writeFailed(qint32 status) { return DBKeyStoreError(Kind::writeFailed, status); }

    Kind kind() const { return kind_; }
    qint32 status() const { return status_; }

    // "未能完成操作。（DBKeyStoreError 错误 N。）".
    QString errorDescription() const override;
    // `readFailed(-25308)`.
    QString debugDescription() const override;

    friend bool operator==(const DBKeyStoreError& a, const DBKeyStoreError& b)
    {
        return a.kind_ == b.kind_ && a.status_ == b.status_;
    }

private:
    DBKeyStoreError(Kind kind, qint32 status) : kind_(kind), status_(status) { }

    Kind kind_;
    qint32 status_;
};

} // namespace vellamor
