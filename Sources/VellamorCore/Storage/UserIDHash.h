#pragma once

#include <QString>

namespace vellamor {

// The account name under which a user's database and key files are kept,
// so file names never show the user id.
class UserIDHash {
public:
    UserIDHash() = delete;

    // The account of the signed-out store.
    static QString anonymous() { return QStringLiteral("anonymous"); }
    // The first 8 lower-case hex digits of SHA-256 over the id's UTF-8 bytes
    // (the decimal text of the user id).
    static QString hash8(const QString& userID);
};

} // namespace vellamor
