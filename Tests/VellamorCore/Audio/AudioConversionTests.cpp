#include "Audio/AudioCaptureError.h"
#include "Audio/AudioConversion.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using vellamor::AudioCaptureError;
using vellamor::calculateRMS;
using vellamor::convertFloatToInt16LE;

namespace {

QByteArray samplesLE(const std::vector<qint16>& samples)
{
    QByteArray bytes(static_cast<qsizetype>(samples.size()) * 2, '\0');
    for (std::size_t i = 0; i < samples.size(); ++i)
        qToLittleEndian<qint16>(samples[i], reinterpret_cast<uchar*>(bytes.data()) + 2 * i);
    return bytes;
}

QByteArray repeated(qint16 sample, std::size_t count)
{
    return samplesLE(std::vector<qint16>(count, sample));
}

} // namespace

TEST(CalculateRMS, Table)
{
    QByteArray threeBytes = samplesLE({16384});
    threeBytes.append(char(0x7f));
    QByteArray oneByte(1, char(0x7f));
    const struct {
        const char* name;
        QByteArray pcm;
        float expected;
    } cases[] = {
        {"empty", QByteArray(), 0.0f},
        {"single byte", oneByte, 0.0f},
        {"640 zero bytes", QByteArray(640, '\0'), 0.0f},
        {"all 16384", repeated(16384, 320), 0.5f},
        {"all -16384", repeated(-16384, 320), 0.5f},
        {"all -32768 is exactly full scale", repeated(-32768, 320), 1.0f},
        {"all 32767", repeated(32767, 320), static_cast<float>(32767.0 / 32768.0)},
        {"odd trailing byte ignored", threeBytes, 0.5f},
        {"mixed samples", samplesLE({-32768, 0}), static_cast<float>(std::sqrt(0.5))},
        {"little-endian byte order", samplesLE({256}), static_cast<float>(256.0 / 32768.0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculateRMS(c.pcm), c.expected) << c.name;
}

TEST(ConvertFloatToInt16LE, SampleTable)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float input;
        qint16 expected;
    } cases[] = {
        {1.0f, 32767}, {-1.0f, -32767}, {2.0f, 32767},    {-0.5f, -16383}, {0.00001f, 0},
        {-0.0f, 0},    {inf, 32767},    {-inf, -32767},   {nan, 0},        {0.99999f, 32766},
    };
    for (const auto& c : cases)
        EXPECT_EQ(convertFloatToInt16LE(std::vector<float>{c.input}), samplesLE({c.expected})) << c.input;
}

// Each sample is converted on its own, NaN included, in order and little-endian.
TEST(ConvertFloatToInt16LE, WritesTheSamplesInOrder)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(convertFloatToInt16LE(std::vector<float>{1.0f, nan, -1.0f, 2.0f, 0.5f}),
              QByteArray::fromHex("ff7f00000180ff7fff3f"));
    EXPECT_TRUE(convertFloatToInt16LE(std::vector<float>{}).isEmpty());
}

// The error has no text of its own: the generic wording names its case.
TEST(AudioCaptureError, GenericTextAndEqualityWithTheDetail)
{
    EXPECT_EQ(AudioCaptureError::deviceUnavailable().errorDescription(),
              QStringLiteral("未能完成操作。（AudioCaptureError 错误 3。）"));
    EXPECT_EQ(AudioCaptureError::formatUnsupported(QStringLiteral("a")),
              AudioCaptureError::formatUnsupported(QStringLiteral("a")));
    EXPECT_NE(AudioCaptureError::formatUnsupported(QStringLiteral("a")),
              AudioCaptureError::formatUnsupported(QStringLiteral("b")));
}
