#include "AudioCapture/AudioFramer.h"

#include "Audio/AudioConversion.h"
#include "Audio/AudioFormatSpec.h"

#include <utility>

namespace vellamor {

QList<AudioFrame> AudioFramer::append(QByteArrayView chunk)
{
    constexpr qsizetype frameBytes = AudioFormatSpec::bytesPerFrame;
    QList<AudioFrame> frames;
    qsizetype offset = 0;
    if (!pending_.isEmpty()) {
        const qsizetype missing = frameBytes - pending_.size();
        if (chunk.size() < missing) {
            pending_.append(chunk.data(), chunk.size());
            return frames;
        }
        pending_.append(chunk.data(), missing);
        offset = missing;
        const float level = calculateRMS(pending_);
        frames.append(AudioFrame(std::exchange(pending_, QByteArray()), level, sequence_++));
    }
    while (chunk.size() - offset >= frameBytes) {
        QByteArray pcm(chunk.data() + offset, frameBytes);
        offset += frameBytes;
        const float level = calculateRMS(pcm);
        frames.append(AudioFrame(std::move(pcm), level, sequence_++));
    }
    if (offset < chunk.size())
        pending_.append(chunk.data() + offset, chunk.size() - offset);
    return frames;
}

void AudioFramer::reset()
{
    pending_.clear();
    sequence_ = 0;
}

} // namespace vellamor
