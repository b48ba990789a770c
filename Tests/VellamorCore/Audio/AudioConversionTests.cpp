#include "Audio/AudioCaptureError.h"
#include "Audio/AudioConversion.h"
#include "Audio/AudioFrame.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using vellamor::AudioCaptureError;
using vellamor::AudioFrame;
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

qint16 sampleAt(const QByteArray& bytes, qsizetype index)
{
    return qFromLittleEndian<qint16>(reinterpret_cast<const uchar*>(bytes.constData()) + 2 * index);
}

struct RmsCase {
    const char* name;
    QByteArray pcm;
    float expected;
};

} // namespace

TEST(CalculateRMS, Table)
{
    QByteArray threeBytes = samplesLE({16384});
    threeBytes.append(char(0x7f));
    QByteArray oneByte(1, char(0x7f));
    const std::vector<RmsCase> cases = {
        {"empty", QByteArray(), 0.0f},
        {"single byte", oneByte, 0.0f},
        {"640 zero bytes", QByteArray(640, '\0'), 0.0f},
        {"all 16384", repeated(16384, 320), 0.5f},
        {"all -16384", repeated(-16384, 320), 0.5f},
        {"all -32768 is exactly full scale", repeated(-32768, 320), 1.0f},
        {"all 32767", repeated(32767, 320), static_cast<float>(32767.0 / 32768.0)},
        {"odd trailing byte ignored", threeBytes, 0.5f},
        // sqrt((1 + 0) / 2) with x = 32768/32768 and 0: 1/sqrt(2)
        {"mixed samples", samplesLE({-32768, 0}), static_cast<float>(std::sqrt(0.5))},
        {"little-endian byte order", samplesLE({256}), static_cast<float>(256.0 / 32768.0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculateRMS(c.pcm), c.expected) << c.name;
}

TEST(CalculateRMS, StaysWithinUnitRangeForExtremeInput)
{
    QByteArray alternating;
    for (int i = 0; i < 320; ++i)
        alternating += samplesLE({i % 2 ? qint16(32767) : qint16(-32768)});
    const float rms = calculateRMS(alternating);
    EXPECT_GT(rms, 0.999f);
    EXPECT_LE(rms, 1.0f);
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
    for (const auto& c : cases) {
        const QByteArray bytes = convertFloatToInt16LE(std::vector<float>{c.input});
        ASSERT_EQ(bytes.size(), 2) << c.input;
        EXPECT_EQ(sampleAt(bytes, 0), c.expected) << c.input;
    }
}

TEST(ConvertFloatToInt16LE, WritesLittleEndianBytesInSampleOrder)
{
    const QByteArray bytes = convertFloatToInt16LE(std::vector<float>{1.0f, -1.0f, 2.0f, -2.0f});
    EXPECT_EQ(bytes, QByteArray::fromHex("ff7f0180ff7f0180"));
    EXPECT_TRUE(convertFloatToInt16LE(std::vector<float>{}).isEmpty());
}

TEST(ConvertFloatToInt16LE, NotANumberAmidSamplesIsSilentAndLeavesNeighboursAlone)
{
    const QByteArray bytes
        = convertFloatToInt16LE(std::vector<float>{0.5f, std::numeric_limits<float>::quiet_NaN(), -0.5f});
    ASSERT_EQ(bytes.size(), 6);
    EXPECT_EQ(sampleAt(bytes, 0), 16383);
    EXPECT_EQ(sampleAt(bytes, 1), 0);
    EXPECT_EQ(sampleAt(bytes, 2), -16383);
}

TEST(AudioFrame, EqualityCoversBytesLevelAndSequence)
{
    const AudioFrame frame(QByteArray(640, '\1'), 0.25f, 3);
    EXPECT_EQ(frame, AudioFrame(QByteArray(640, '\1'), 0.25f, 3));
    EXPECT_NE(frame, AudioFrame(QByteArray(640, '\1'), 0.5f, 3));
    EXPECT_NE(frame, AudioFrame(QByteArray(640, '\2'), 0.25f, 3));
    EXPECT_NE(frame, AudioFrame(QByteArray(640, '\1'), 0.25f, 4));
}

TEST(AudioCaptureError, DescriptionsNameTheCaseAndItsDetail)
{
    EXPECT_EQ(AudioCaptureError::engineFailed(QStringLiteral("no \"input\"")).debugDescription(),
              QStringLiteral("engineFailed(\"no \\\"input\\\"\")"));
    EXPECT_EQ(AudioCaptureError::permissionDenied().debugDescription(), QStringLiteral("permissionDenied"));
    EXPECT_EQ(AudioCaptureError::deviceUnavailable().errorDescription(),
              QStringLiteral("未能完成操作。（AudioCaptureError 错误 3。）"));
    EXPECT_NE(AudioCaptureError::formatUnsupported(QStringLiteral("a")),
              AudioCaptureError::formatUnsupported(QStringLiteral("b")));
}
