#pragma once

#include <QByteArray>

namespace vellamor {

// AES-256-GCM for one row payload. The sealed form is the 12-byte nonce, the
// ciphertext (as long as the plaintext) and the 16-byte tag, with no header
// and no associated data: 28 bytes longer than the plaintext.
class EncryptedPayload {
public:
    EncryptedPayload() = delete;

    static constexpr qsizetype keyLength = 32;
    static constexpr qsizetype nonceLength = 12;
    static constexpr qsizetype tagLength = 16;

    // A fresh random nonce each call, so equal plaintexts seal differently.
    // Throws EncryptedPayloadError::sealFailed (a key of another length included).
    static QByteArray seal(const QByteArray& plaintext, const QByteArray& key);
    // Throws EncryptedPayloadError::openFailed for every failure alike:
    // too short, wrong key, any byte altered.
    static QByteArray open(const QByteArray& sealed, const QByteArray& key);
};

} // namespace vellamor
