#include "Storage/EncryptedPayload.h"

#include "Storage/EncryptedPayloadError.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace vellamor {

namespace {

struct ContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

const unsigned char* bytesOf(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

unsigned char* bytesOf(QByteArray& data)
{
    return reinterpret_cast<unsigned char*>(data.data());
}

} // namespace

QByteArray EncryptedPayload::seal(const QByteArray& plaintext, const QByteArray& key)
{
    if (key.size() != keyLength)
        throw EncryptedPayloadError::sealFailed();
    QByteArray sealed(nonceLength + plaintext.size() + tagLength, Qt::Uninitialized);
    unsigned char* nonce = bytesOf(sealed);
    unsigned char* ciphertext = nonce + nonceLength;
    unsigned char* tag = ciphertext + plaintext.size();

    const Context context(EVP_CIPHER_CTX_new());
    int written = 0;
    int finalWritten = 0;
    const bool sealedOk = context && RAND_bytes(nonce, nonceLength) == 1
        && EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, bytesOf(key), nonce) == 1
        && EVP_EncryptUpdate(context.get(), ciphertext, &written, bytesOf(plaintext), static_cast<int>(plaintext.size()))
            == 1
        && EVP_EncryptFinal_ex(context.get(), ciphertext + written, &finalWritten) == 1
        && written + finalWritten == plaintext.size()
        && EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, tagLength, tag) == 1;
    if (!sealedOk)
        throw EncryptedPayloadError::sealFailed();
    return sealed;
}

QByteArray EncryptedPayload::open(const QByteArray& sealed, const QByteArray& key)
{
    if (key.size() != keyLength || sealed.size() < nonceLength + tagLength)
        throw EncryptedPayloadError::openFailed();
    const qsizetype length = sealed.size() - nonceLength - tagLength;
    const unsigned char* nonce = bytesOf(sealed);
    const unsigned char* ciphertext = nonce + nonceLength;
    // The library takes the expected tag through a non-const pointer; it only reads it.
    QByteArray tag = sealed.right(tagLength);
    QByteArray plaintext(length, Qt::Uninitialized);

    const Context context(EVP_CIPHER_CTX_new());
    int written = 0;
    int finalWritten = 0;
    const bool openedOk = context
        && EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, bytesOf(key), nonce) == 1
        && EVP_DecryptUpdate(context.get(), bytesOf(plaintext), &written, ciphertext, static_cast<int>(length)) == 1
        && EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, tagLength, tag.data()) == 1
        && EVP_DecryptFinal_ex(context.get(), bytesOf(plaintext) + written, &finalWritten) == 1
        && written + finalWritten == length;
    if (!openedOk)
        throw EncryptedPayloadError::openFailed();
    return plaintext;
}

} // namespace vellamor
