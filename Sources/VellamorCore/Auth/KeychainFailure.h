#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// The keyring refused to store the session. It has no text of its own: the
// session reports it as AuthAPIError::keychainWriteFailed with the same status.
class KeychainFailure final : public Error {
public:
    static KeychainFailure writeFailed(qint32 status) { return KeychainFailure(status); }

    qint32 status() const { return status_; }

    QString errorDescription() const override;
    // `writeFailed(-25293)`.
    QString debugDescription() const override;

    friend bool operator==(const KeychainFailure& a, const KeychainFailure& b) { return a.status_ == b.status_; }

private:
    explicit KeychainFailure(qint32 status) : status_(status) {}

    qint32 status_;
};

} // namespace vellamor
