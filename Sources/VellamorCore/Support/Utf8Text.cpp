#include "Support/Utf8Text.h"

#include <QStringDecoder>

namespace vellamor {

std::optional<QString> decodeUtf8Strictly(const QByteArray& bytes)
{
    // Stateless: an incomplete sequence at the end is an error rather than
    // state carried over to a next chunk that never comes.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace vellamor
