#pragma once

#include "Auth/SecureItemStore.h"

#include <chrono>

namespace vellamor {

// Secret items in the desktop's keyring (the Secret Service, through
// QtKeychain), with no plain-text fallback. The desktop has one keyring: it
// serves the data-protection variant; the file variant holds nothing (reads
// give none, removals report itemNotFound, writes fail with notAvailable).
//
// Statuses: success 0; "not found" itemNotFound (-25300); access denied by
// the user userCanceled (-128); other access refusals authFailed (-25293);
// no keyring service notAvailable (-25291); a removal that failed readOnly
// (-25292); unsupported unimplemented (-4); anything else internalComponent
// (-2070). A job that has not finished after `jobTimeout` counts as
// interactionNotAllowed (-25308): an unlock prompt nobody answers must not
// stall the session. Main thread only.
class QtKeychainItemStore final : public SecureItemStore {
public:
    explicit QtKeychainItemStore(std::chrono::milliseconds jobTimeout = std::chrono::seconds(15));

    QCoro::Task<std::optional<QByteArray>> read(QString service, QString account, Variant variant) override;
    QCoro::Task<qint32> write(QString service, QString account, QByteArray data, Variant variant) override;
    QCoro::Task<qint32> remove(QString service, QString account, Variant variant) override;

private:
    std::chrono::milliseconds jobTimeout_;
};

} // namespace vellamor
