#include "Audio/AudioConversion.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace vellamor {

float calculateRMS(const QByteArray& pcm)
{
    const qsizetype count = pcm.size() / 2;
    if (count == 0)
        return 0.0f;
    const auto* bytes = reinterpret_cast<const uchar*>(pcm.constData());
    double sum = 0.0;
    for (qsizetype i = 0; i < count; ++i) {
        const double x = static_cast<double>(qFromLittleEndian<qint16>(bytes + 2 * i)) / 32768.0;
        sum += x * x;
    }
    return std::min(static_cast<float>(std::sqrt(sum / static_cast<double>(count))), 1.0f);
}

QByteArray convertFloatToInt16LE(std::span<const float> samples)
{
    QByteArray out(static_cast<qsizetype>(samples.size()) * 2, '\0');
    auto* bytes = reinterpret_cast<uchar*>(out.data());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float v = samples[i];
        const float y = std::isnan(v) ? 0.0f : std::clamp(v, -1.0f, 1.0f) * 32767.0f;
        qToLittleEndian<qint16>(static_cast<qint16>(y), bytes + 2 * i);
    }
    return out;
}

} // namespace vellamor
