#pragma once

#include "Networking/BusinessOrTransportError.h"

namespace vellamor {

// Declaration order of the cases.
enum class DataSyncErrorKind {
    invalidInput,
    business,
    transport,
    decodingFailed,
    missingToken,
    unauthorized,
    notFound,
    encodingFailed
};

// Every failure the data-sync client detects itself, with the text the
// dictionary window shows. The HTTP session's own errors are not wrapped.
// The detail of transport is "invalid response" or "HTTP <status>".
class DataSyncError final : public BusinessOrTransportError<DataSyncError, DataSyncErrorKind> {
public:
    // The text itself.
    static DataSyncError invalidInput(QString text) { return DataSyncError(Kind::invalidInput, 0, std::move(text)); }
    // "记录不存在"
    static DataSyncError notFound() { return DataSyncError(Kind::notFound, 0, {}); }

    QString errorDescription() const override;
    QString debugDescription() const override;

private:
    friend class BusinessOrTransportError<DataSyncError, DataSyncErrorKind>;
    using BusinessOrTransportError::BusinessOrTransportError;
};

} // namespace vellamor
