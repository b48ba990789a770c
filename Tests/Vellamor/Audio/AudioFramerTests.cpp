#include "AudioTestSignals.h"
#include "QtPrinters.h"

#include "Audio/AudioConversion.h"
#include "Audio/AudioFramer.h"

#include <gmock/gmock.h>

#include <numeric>
#include <vector>

namespace vellamor::test {
namespace {

struct Chunking {
    const char* name;
    std::vector<qsizetype> sizes;
};

void PrintTo(const Chunking& chunking, std::ostream* os)
{
    *os << chunking.name;
}

class AudioFramerChunking : public ::testing::TestWithParam<Chunking> {};

TEST_P(AudioFramerChunking, CutsAnyChunkingIntoWholeFramesInOrder)
{
    const std::vector<qsizetype>& sizes = GetParam().sizes;
    const qsizetype total = std::accumulate(sizes.begin(), sizes.end(), qsizetype(0));
    const QByteArray input = countingSamples(total / 2 + 1).left(total);

    AudioFramer framer;
    QList<AudioFrame> frames;
    qsizetype offset = 0;
    for (qsizetype size : sizes) {
        frames += framer.append(QByteArrayView(input).sliced(offset, size));
        offset += size;
    }

    ASSERT_EQ(frames.size(), total / 640);
    QByteArray joined;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const AudioFrame& frame = frames[i];
        EXPECT_EQ(frame.sequence, i);
        EXPECT_EQ(frame.pcm.size(), 640);
        EXPECT_FLOAT_EQ(frame.rms, calculateRMS(frame.pcm));
        joined += frame.pcm;
    }
    EXPECT_EQ(joined, input.left(frames.size() * 640));
    EXPECT_EQ(framer.pendingBytes(), total % 640);
    EXPECT_EQ(framer.nextSequence(), frames.size());
}

INSTANTIATE_TEST_SUITE_P(
    Chunkings, AudioFramerChunking,
    ::testing::Values(Chunking {"exactFrames", {640, 640, 640}},
                      Chunking {"oneByteThenRest", {1, 639, 1, 639}},
                      Chunking {"smallerThanAFrame", {100, 100, 100, 100, 100, 100, 100}},
                      Chunking {"severalFramesAtOnce", {2000, 600}},
                      // 1024 frames of 48 kHz become about 341 samples at 16 kHz.
                      Chunking {"resampledBuffers", {682, 682, 684, 682, 682, 684}},
                      Chunking {"oddSizesSplitSamples", {3, 5, 7, 641, 1279, 1, 2}},
                      Chunking {"emptyChunks", {0, 640, 0, 0, 320}}),
    [](const ::testing::TestParamInfo<Chunking>& info) { return std::string(info.param.name); });

TEST(AudioFramer, ResetDiscardsTheWaitingBytesAndNumbersFromZero)
{
    AudioFramer framer;
    EXPECT_EQ(framer.append(countingSamples(520)).size(), 1); // one frame and 200 samples left
    ASSERT_EQ(framer.pendingBytes(), 400);

    framer.reset();
    EXPECT_EQ(framer.pendingBytes(), 0);
    const QByteArray next = constantSamples(320, 1000);
    const QList<AudioFrame> frames = framer.append(next);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].sequence, 0);
    // Not padded with, nor prefixed by, the discarded samples.
    EXPECT_EQ(frames[0].pcm, next);
    EXPECT_FLOAT_EQ(frames[0].rms, 1000.0f / 32768.0f);
}

} // namespace
} // namespace vellamor::test
