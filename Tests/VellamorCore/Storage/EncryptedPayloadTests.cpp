#include "QtPrinters.h"
#include "Storage/EncryptedPayload.h"
#include "Storage/EncryptedPayloadError.h"
#include "Storage/UserIDHash.h"

#include <gtest/gtest.h>

#include <array>

using vellamor::EncryptedPayload;
using vellamor::EncryptedPayloadError;

namespace {

const QByteArray kKey(32, '\x5a');

TEST(EncryptedPayload, SealedBytesOpenToThePlaintextAndNeverRepeat)
{
    const std::array plaintexts {QByteArray(), QByteArray("a"), QByteArray(R"({"text":"今天"})"), QByteArray(4096, 'x')};
    for (const QByteArray& plaintext : plaintexts) {
        SCOPED_TRACE(plaintext.size());
        const QByteArray first = EncryptedPayload::seal(plaintext, kKey);
        const QByteArray second = EncryptedPayload::seal(plaintext, kKey);
        EXPECT_EQ(first.size(), plaintext.size() + 28);
        EXPECT_NE(first, second);
        EXPECT_EQ(EncryptedPayload::open(first, kKey), plaintext);
        EXPECT_EQ(EncryptedPayload::open(second, kKey), plaintext);
    }
}

TEST(EncryptedPayload, AnythingButTheSealedBytesUnderTheirKeyFailsToOpen)
{
    const QByteArray sealed = EncryptedPayload::seal(QByteArray("secret text"), kKey);
    const auto flipped = [&](qsizetype index) {
        QByteArray bytes = sealed;
        bytes[index] = static_cast<char>(bytes[index] ^ 0x01);
        return bytes;
    };
    struct Case {
        const char* name;
        QByteArray bytes;
        QByteArray key;
    };
    const std::array cases {
        Case {"nonce bit", flipped(0), kKey},
        Case {"ciphertext bit", flipped(12), kKey},
        Case {"tag bit", flipped(sealed.size() - 1), kKey},
        Case {"27 bytes", sealed.left(27), kKey},
        Case {"empty", QByteArray(), kKey},
        Case {"other key", sealed, QByteArray(32, '\x5b')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            EncryptedPayload::open(c.bytes, c.key);
            ADD_FAILURE() << "opened";
        } catch (const EncryptedPayloadError& error) {
            EXPECT_EQ(error, EncryptedPayloadError::openFailed());
        }
    }
    EXPECT_THROW(EncryptedPayload::seal(QByteArray("a"), kKey.left(31)), EncryptedPayloadError);
}

TEST(UserIDHash, IsTheStartOfTheSha256OfTheDecimalId)
{
    EXPECT_EQ(vellamor::UserIDHash::hash8(QStringLiteral("abc")), QStringLiteral("ba7816bf"));
    EXPECT_EQ(vellamor::UserIDHash::hash8(QString()), QStringLiteral("e3b0c442"));
}

} // namespace
