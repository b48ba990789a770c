#include "AudioCapture/AudioChunkQueue.h"

#include <utility>

namespace vellamor {

AudioChunkQueue::AudioChunkQueue(std::function<void()> wake)
    : wake_(std::move(wake))
{
}

void AudioChunkQueue::push(quint64 run, QByteArray bytes)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(mutex_);
        wasEmpty = chunks_.isEmpty();
        chunks_.append(Chunk {run, std::move(bytes)});
    }
    if (wasEmpty && wake_)
        wake_();
}

QList<AudioChunkQueue::Chunk> AudioChunkQueue::takeAll()
{
    std::lock_guard lock(mutex_);
    return std::exchange(chunks_, {});
}

} // namespace vellamor
