#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace vellamor {

// One 20 ms frame of a capture run: little-endian 16-bit mono samples, the
// frame's level computed from them, and its number within the run (0 for the
// first frame after start()).
struct AudioFrame {
    AudioFrame(QByteArray pcm, float rms, qint64 sequence);

    QByteArray pcm;
    float rms;
    qint64 sequence;

    friend bool operator==(const AudioFrame&, const AudioFrame&) = default;
};

} // namespace vellamor
