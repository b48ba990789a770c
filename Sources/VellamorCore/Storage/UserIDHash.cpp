#include "Storage/UserIDHash.h"

#include <QByteArray>

#include <openssl/evp.h>

namespace vellamor {

QString UserIDHash::hash8(const QString& userID)
{
    const QByteArray utf8 = userID.toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int length = 0;
    // Hashing a buffer in memory fails only when memory runs out.
    EVP_Digest(utf8.constData(), static_cast<size_t>(utf8.size()), digest, &length, EVP_sha256(), nullptr);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), 4).toHex());
}

} // namespace vellamor
