#include "InputSourceWindows/QRCodeRenderer.h"

#include <qrencode.h>

#include <memory>

namespace vellamor {

QImage QRCodeRenderer::render(const QString& content, int scale)
{
    const QByteArray bytes = content.toUtf8();
    if (bytes.isEmpty() || scale < 1)
        return {};
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()), 0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!code)
        return {};
    const int modules = code->width;
    QImage image(modules * scale, modules * scale, QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        const unsigned char* row = code->data + (y / scale) * modules;
        for (int x = 0; x < image.width(); ++x)
            line[x] = (row[x / scale] & 1) ? 0 : 255;
    }
    return image;
}

} // namespace vellamor
