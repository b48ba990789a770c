#pragma once

#include <QString>

#include <utility>

namespace vellamor {

// Where the last data-sync operation was served: by the backend, or from the
// local caches for a user-facing reason, which may be that the account must
// sign in (again) first. Two values are equal when they are the same case
// with, for local, the same reason.
class DataSyncConnection {
public:
    static DataSyncConnection remote() { return DataSyncConnection(Kind::remote, {}); }
    static DataSyncConnection local(QString reason) { return DataSyncConnection(Kind::local, std::move(reason)); }
    static DataSyncConnection signInNeeded(QString reason)
    {
        return DataSyncConnection(Kind::signInNeeded, std::move(reason));
    }

    bool isLocal() const { return kind_ != Kind::remote; }
    // Local because no session is signed in or the backend refused it.
    bool needsSignIn() const { return kind_ == Kind::signInNeeded; }
    // Empty for remote.
    const QString& reason() const { return reason_; }

    friend bool operator==(const DataSyncConnection&, const DataSyncConnection&) = default;

private:
    enum class Kind { remote, local, signInNeeded };

    DataSyncConnection(Kind kind, QString reason) : kind_(kind), reason_(std::move(reason)) { }

    Kind kind_;
    QString reason_;
};

} // namespace vellamor
