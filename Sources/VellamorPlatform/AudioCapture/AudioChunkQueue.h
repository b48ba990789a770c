#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <functional>
#include <mutex>

namespace vellamor {

// The one ordered road from the capture thread to the main thread. Chunks
// are taken in exactly the order they were put in, each tagged with the
// capture run it belongs to, so that a chunk that arrives after its run
// ended can be recognised and dropped.
class AudioChunkQueue {
public:
    struct Chunk {
        quint64 run;
        QByteArray bytes;
    };

    // `wake` is called (on the pushing thread, outside the lock) whenever a
    // push finds the queue empty: it should arrange one takeAll() later.
    explicit AudioChunkQueue(std::function<void()> wake);

    // Any thread; never blocks for long.
    void push(quint64 run, QByteArray bytes);

    // Everything queued so far, oldest first.
    QList<Chunk> takeAll();

private:
    std::function<void()> wake_;
    std::mutex mutex_;
    QList<Chunk> chunks_;
};

} // namespace vellamor
