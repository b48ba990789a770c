#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// Sealing or opening a row payload failed. Deliberately without detail: an
// open that fails says nothing about why (wrong key, altered or short bytes).
class EncryptedPayloadError final : public Error {
public:
    // Declaration order is the case index shown in errorDescription().
    enum class Kind { sealFailed, openFailed };

    static EncryptedPayloadError sealFailed() { return EncryptedPayloadError(Kind::sealFailed); }
    static EncryptedPayloadError openFailed() { return EncryptedPayloadError(Kind::openFailed); }

    Kind kind() const { return kind_; }

    // "未能完成操作。（EncryptedPayloadError 错误 N。）".
    QString errorDescription() const override;
    // `sealFailed`, `openFailed`.
    QString debugDescription() const override;

    friend bool operator==(const EncryptedPayloadError& a, const EncryptedPayloadError& b)
    {
        return a.kind_ == b.kind_;
    }

private:
    explicit EncryptedPayloadError(Kind kind) : kind_(kind) { }

    Kind kind_;
};

} // namespace vellamor
