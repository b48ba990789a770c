#pragma once

#include <QString>

#include <utility>

namespace vellamor {

// Where the last data-sync operation was served: by the backend, or from the
// local caches for a user-facing reason. Two values are equal when they are
// the same case with, for local, the same reason.
class DataSyncConnection {
public:
    static DataSyncConnection remote() { return DataSyncConnection(false, {}); }
    static DataSyncConnection local(QString reason) { return DataSyncConnection(true, std::move(reason)); }

    bool isLocal() const { return local_; }
    // Empty for remote.
    const QString& reason() const { return reason_; }

    friend bool operator==(const DataSyncConnection&, const DataSyncConnection&) = default;

private:
    DataSyncConnection(bool local, QString reason) : local_(local), reason_(std::move(reason)) { }

    bool local_;
    QString reason_;
};

} // namespace vellamor
