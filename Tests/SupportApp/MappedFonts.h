#pragma once

#include <QFile>
#include <QSet>
#include <QString>

namespace vellamor::test {

// The font files this process has mapped: a font engine keeps its file
// mapped for as long as it lives.
inline QSet<QString> mappedFontFiles()
{
    QSet<QString> fonts;
    QFile maps(QStringLiteral("/proc/self/maps"));
    // Read whole: proc files report no size, so the file seems at its end.
    if (!maps.open(QIODevice::ReadOnly))
        return fonts;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const QString path = QString::fromUtf8(line).section(u' ', -1);
        for (const char* suffix : {".ttf", ".ttc", ".otf", ".otc"}) {
            if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
                fonts.insert(path);
        }
    }
    return fonts;
}

} // namespace vellamor::test
