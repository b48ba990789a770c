#pragma once

#include "Audio/AudioFrame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

namespace vellamor {

// Cuts the bytes of one capture run (16 kHz mono little-endian 16-bit) into
// 20 ms frames, numbered in arrival order from 0, each with its level.
// Bytes that do not fill a frame wait for the next chunk.
class AudioFramer {
public:
    // The frames the chunk completed, oldest first.
    QList<AudioFrame> append(QByteArrayView chunk);

    // Begins a new run: waiting bytes are discarded, not padded, and
    // numbering starts again from 0.
    void reset();

    qsizetype pendingBytes() const { return pending_.size(); }
    qint64 nextSequence() const { return sequence_; }

private:
    QByteArray pending_;
    qint64 sequence_ = 0;
};

} // namespace vellamor
