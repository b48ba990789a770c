#pragma once

#include "WaitUntil.h"

#include <QImage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace vellamor::test {

// What a scanner (zbarimg) reads from the QR code in `image`; empty when it
// finds none.
inline QString scannedQRCode(const QImage& image)
{
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("code.png"));
    if (!image.save(file))
        return {};
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    if (!zbar.waitForFinished(static_cast<int>(hangCeiling.count())) || zbar.exitCode() != 0)
        return {};
    QString read = QString::fromUtf8(zbar.readAllStandardOutput());
    if (read.endsWith(QLatin1Char('\n')))
        read.chop(1);
    return read;
}

} // namespace vellamor::test
