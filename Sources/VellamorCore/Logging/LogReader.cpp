#include "Logging/LogReader.h"

#include "Support/Utf8Text.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

namespace vellamor {

int LogReader::clampedLineCount(int lines)
{
    return std::clamp(lines, 1, maxTailLines);
}

QByteArray LogReader::droppingPartialFirstLine(const QByteArray& window)
{
    const qsizetype newline = window.indexOf('\n');
    if (newline >= 0)
        return window.mid(newline + 1);
    // One long line: keep it, but not the tail of a character cut at the
    // window's start, or the whole window would fail to decode.
    qsizetype skip = 0;
    while (skip < 3 && skip < window.size() && (static_cast<unsigned char>(window[skip]) & 0xC0) == 0x80)
        ++skip;
    return window.mid(skip);
}

QString LogReader::lastLines(const QString& text, int count)
{
    QStringList pieces = text.split(QLatin1Char('\n'));
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    const qsizetype keep = std::min<qsizetype>(pieces.size(), count);
    return pieces.mid(pieces.size() - keep).join(QLatin1Char('\n'));
}

std::optional<QString> LogReader::readLocal(const std::optional<QString>& path, int lines)
{
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;

    const int count = clampedLineCount(lines);
    const qint64 size = file.size();
    // A sequential file (a pipe, a device) has no size to count back from.
    const qint64 start = file.isSequential() || size < maxTailBytes ? 0 : size - maxTailBytes;
    if (start > 0)
        file.seek(start);
    // An empty file is read fine: it gives the empty text, not none.
    QByteArray window = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    file.close();

    if (start > 0)
        window = droppingPartialFirstLine(window);
    const std::optional<QString> text = decodeUtf8Strictly(window);
    if (!text)
        return QString();
    return lastLines(*text, count);
}

} // namespace vellamor
