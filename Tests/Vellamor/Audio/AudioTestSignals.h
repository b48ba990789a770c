#pragma once

#include <QByteArray>
#include <QtEndian>

namespace vellamor::test {

// `count` little-endian samples counting up from `first` (wrapping), so the
// order of any stretch of bytes can be checked.
inline QByteArray countingSamples(qsizetype count, int first = 0)
{
    QByteArray bytes(count * 2, '\0');
    for (qsizetype i = 0; i < count; ++i)
        qToLittleEndian<qint16>(static_cast<qint16>(first + i), bytes.data() + 2 * i);
    return bytes;
}

// `count` samples all of the value `value`: a frame of it has the level value / 32768.
inline QByteArray constantSamples(qsizetype count, qint16 value)
{
    QByteArray bytes(count * 2, '\0');
    for (qsizetype i = 0; i < count; ++i)
        qToLittleEndian<qint16>(value, bytes.data() + 2 * i);
    return bytes;
}

} // namespace vellamor::test
