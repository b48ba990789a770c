#include "Audio/AudioFrame.h"

#include <utility>

namespace vellamor {

AudioFrame::AudioFrame(QByteArray pcm, float rms, qint64 sequence)
    : pcm(std::move(pcm))
    , rms(rms)
    , sequence(sequence)
{
}

} // namespace vellamor
