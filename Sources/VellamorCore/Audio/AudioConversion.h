#pragma once

#include <QByteArray>

#include <span>

namespace vellamor {

// The level of little-endian 16-bit samples in [0, 1]: the root mean square
// of s / 32768, computed in double precision. Fewer than two bytes give 0; an
// odd trailing byte is ignored.
float calculateRMS(const QByteArray& pcm);

// Float samples to little-endian 16-bit bytes, two per sample. Values are
// clamped to [-1, 1], scaled by 32767 and truncated toward zero, so -1 gives
// -32767, never -32768. Not-a-number gives 0: a stray NaN must not become a
// full-scale click.
QByteArray convertFloatToInt16LE(std::span<const float> samples);

} // namespace vellamor
