#pragma once

#include <QImage>
#include <QString>

namespace vellamor {

// QR codes for the pairing sheet.
class QRCodeRenderer {
public:
    QRCodeRenderer() = delete;

    // `content`'s UTF-8 bytes in 8-bit mode at error-correction level M,
    // each module `scale` × `scale` pixels, black on white, without a quiet
    // zone (whoever shows it pads it). Null when it cannot be encoded.
    static QImage render(const QString& content, int scale);
};

} // namespace vellamor
