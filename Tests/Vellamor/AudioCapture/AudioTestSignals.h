#pragma once

#include "Support/Async/Channel.h"
#include "Support/Async/RunBlocking.h"

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <chrono>
#include <limits>
#include <memory>

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

// Appends every value of the stream to `into` as it comes, until the stream ends.
template<typename T>
QCoro::Task<void> collect(Channel<T> stream, std::shared_ptr<QList<T>> into)
{
    while (std::optional<T> value = co_await stream.next())
        into->append(std::move(*value));
}

// Up to `count` values; fewer when the stream ends first.
template<typename T>
QList<T> take(const Channel<T>& stream, int count = std::numeric_limits<int>::max())
{
    const auto reader = [](Channel<T> channel, int wanted) -> QCoro::Task<QList<T>> {
        QList<T> values;
        while (values.size() < wanted) {
            std::optional<T> value = co_await channel.next();
            if (!value)
                break;
            values.append(std::move(*value));
        }
        co_return values;
    };
    return runBlocking(reader(stream, count), std::chrono::seconds(10));
}

} // namespace vellamor::test
