#pragma once

#include <QtGlobal>

namespace vellamor {

// The statuses of secure-item operations. Users see them in error texts, so
// each failure has one fixed value, named after the platform keychain status
// with the same meaning.
struct KeychainStatus {
    KeychainStatus() = delete;

    static constexpr qint32 success = 0;
    static constexpr qint32 param = -50;
    static constexpr qint32 unimplemented = -4;
    static constexpr qint32 userCanceled = -128;
    static constexpr qint32 notAvailable = -25291;
    static constexpr qint32 readOnly = -25292;
    static constexpr qint32 authFailed = -25293;
    static constexpr qint32 itemNotFound = -25300;
    static constexpr qint32 interactionNotAllowed = -25308;
    static constexpr qint32 internalComponent = -2070;
    static constexpr qint32 missingEntitlement = -34018;
};

} // namespace vellamor
