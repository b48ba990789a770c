#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A failure of the account database, carrying SQLite's message for the
// connection ("no db" once the connection is closed).
class SQLiteAccountStoreError final : public Error {
public:
    // Declaration order is the case index shown in errorDescription().
    enum class Kind { openFailed, schemaFailed, prepareFailed, stepFailed };

    static SQLiteAccountStoreError openFailed(QString message);
    // "unknown" when SQLite gave no message.
    static SQLiteAccountStoreError schemaFailed(QString message);
    static SQLiteAccountStoreError prepareFailed(QString message);
    static SQLiteAccountStoreError stepFailed(QString message);

    Kind kind() const { return kind_; }
    const QString& message() const { return message_; }

    // The platform's generic wording: "未能完成操作。（SQLiteAccountStoreError 错误 N。）".
    QString errorDescription() const override;
    // `stepFailed("database is locked")`.
    QString debugDescription() const override;

    friend bool operator==(const SQLiteAccountStoreError& a, const SQLiteAccountStoreError& b)
    {
        return a.kind_ == b.kind_ && a.message_ == b.message_;
    }

private:
    SQLiteAccountStoreError(Kind kind, QString message);

    Kind kind_;
    QString message_;
};

} // namespace vellamor
