#include "AudioTestSignals.h"
#include "DesktopTest.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include "Audio/AudioConversion.h"
#include "AudioCapture/AudioCapture.h"
#include "AudioCapture/AudioInputDeviceManager.h"
#include "Permissions/PermissionChecker.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Support/Async/RunBlocking.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// The file as 16 kHz mono 16-bit samples; none when it cannot be read.
std::optional<QByteArray> samplesOf(const QString& wavFile, const QString& rawFile)
{
    // The server's own conversion to 16 kHz, done by sox.
    if (QProcess::execute(QStringLiteral("sox"),
            { wavFile, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"), QStringLiteral("16000"),
                QStringLiteral("-e"), QStringLiteral("signed-integer"), QStringLiteral("-b"), QStringLiteral("16"),
                QStringLiteral("-c"), QStringLiteral("1"), rawFile })
        != 0) {
        return std::nullopt;
    }
    QFile file(rawFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// The level of each whole 20 ms stretch of the samples from sample `from` on,
// as frames would report it.
QList<float> frameLevels(const QByteArray& pcm, qsizetype from = 0)
{
    QList<float> levels;
    for (qsizetype at = from * 2; at + 640 <= pcm.size(); at += 640)
        levels.append(calculateRMS(pcm.mid(at, 640)));
    return levels;
}

// First and last index of a speech level; none when there is none.
std::optional<std::pair<qsizetype, qsizetype>> voiced(const QList<float>& levels)
{
    const auto isSpeech = [](float level) { return level >= 0.01f; };
    const auto first = std::find_if(levels.begin(), levels.end(), isSpeech);
    if (first == levels.end())
        return std::nullopt;
    const auto last = std::find_if(levels.rbegin(), levels.rend(), isSpeech);
    return std::pair{first - levels.begin(), levels.rend() - last - 1};
}

class AudioDesktopTest : public DesktopTest {};

// The virtual microphone records what plays into vsink, frame for frame.
TEST_F(AudioDesktopTest, CaptureRecordsWhatThePlayerPlaysFrameForFrameRunAfterRun)
{
    QTemporaryDir folder;
    const QString phrase = folder.filePath(QStringLiteral("phrase.wav"));
    const QString text = QStringLiteral("Vellamor turns what you say into text, twenty milliseconds at a time.");
    QProcess::execute(QStringLiteral("espeak-ng"), { QStringLiteral("-w"), phrase, text });
    const std::optional<QByteArray> samples = samplesOf(phrase, folder.filePath(QStringLiteral("phrase.raw")));
    ASSERT_TRUE(samples) << "espeak-ng or sox made no usable file";
    const QList<float> played = frameLevels(*samples);
    const auto spoken = voiced(played);
    ASSERT_TRUE(spoken);
    AudioCapture capture(std::make_shared<platform::PulseSoundServer>());

    // A short run while sound plays; the next run starts from nothing.
    QProcess player;
    player.start(QStringLiteral("paplay"), { QStringLiteral("-d"), QStringLiteral("vsink"), phrase });
    ASSERT_TRUE(player.waitForStarted(static_cast<int>(hangCeiling.count())));
    auto earlier = std::make_shared<QList<AudioFrame>>();
    QCoro::Task<void> earlierCollector = collect(runBlocking(capture.start()), earlier);
    ASSERT_TRUE(waitUntil([&] { return earlier->size() >= 10; }));
    runBlocking(capture.stop());
    runBlocking(std::move(earlierCollector));
    player.kill();
    player.waitForFinished(2000);

    auto frames = std::make_shared<QList<AudioFrame>>();
    QCoro::Task<void> collector = collect(runBlocking(capture.start()), frames);
    ASSERT_TRUE(runTool(QStringLiteral("paplay"), { QStringLiteral("-d"), QStringLiteral("vsink"), phrase }));
    // The file's last frames are still on their way when the player ends.
    EXPECT_TRUE(waitUntil([&] { return frames->size() >= played.size() - 2; }));
    runBlocking(capture.stop());
    runBlocking(std::move(collector));

    QList<float> heard;
    for (qsizetype i = 0; i < frames->size(); ++i) {
        ASSERT_EQ(frames->at(i).sequence, i);
        ASSERT_EQ(frames->at(i).pcm.size(), 640);
        heard.append(frames->at(i).rms);
    }
    const auto speech = voiced(heard);
    ASSERT_TRUE(speech) << "nothing was heard";
    // All of the file arrived.
    EXPECT_GE(heard.size(), played.size() - 2);
    const qsizetype spokenFrames = spoken->second - spoken->first + 1;

    // Frame for frame the levels follow the file's, once aligned (the file
    // starts anywhere in a frame, and the server may lose a moment at the
    // very start): a frame lost or doubled inside the phrase would shift
    // everything after it.
    double best = std::numeric_limits<double>::max();
    for (qsizetype from = 0; from < 320; from += 8) {
        const QList<float> alignedPlayed = frameLevels(*samples, from);
        for (qsizetype shift = -10; shift <= 10; ++shift) {
            double difference = 0;
            qsizetype compared = 0;
            for (qsizetype i = spoken->first; i <= spoken->second && i < alignedPlayed.size(); ++i) {
                const qsizetype j = i + shift;
                if (j < 0 || j >= heard.size())
                    continue;
                difference += std::fabs(heard[j] - alignedPlayed[i]);
                ++compared;
            }
            if (compared > spokenFrames * 9 / 10)
                best = std::min(best, difference / static_cast<double>(compared));
        }
    }
    EXPECT_LT(best, 0.005);
    // Silence after the phrase: nothing is replayed.
    for (qsizetype i = speech->second + 2; i < heard.size(); ++i)
        EXPECT_LT(heard[i], 0.001f) << "frame " << i;
}

// Like a real microphone, the virtual one hears from the moment a recording
// opens: a run holds every 20 ms since then but those on their way, run
// after run, each opened as the last one closed (when vsink would go back to
// its long render blocks). What a run misses at its start is never made up,
// and a late start loses a second or more: half a second on its way is what
// a loaded machine may hold back, never what a late start loses.
TEST_F(AudioDesktopTest, CaptureHearsFromTheMomentItsStreamOpensRunAfterRun)
{
    constexpr qsizetype onTheirWay = 25;
    AudioCapture capture(std::make_shared<platform::PulseSoundServer>());
    for (int run = 0; run < 3; ++run) {
        auto frames = std::make_shared<QList<AudioFrame>>();
        QCoro::Task<void> collector = collect(runBlocking(capture.start()), frames);
        const auto opened = std::chrono::steady_clock::now();
        const auto framesOfTimeSinceOpened = [opened] {
            return static_cast<qsizetype>((std::chrono::steady_clock::now() - opened) / 20ms);
        };
        // A hold of two seconds by the run's own count, heard whole.
        const bool heardWhole = waitUntil([&] {
            return frames->size() >= 100 && frames->size() >= framesOfTimeSinceOpened() - onTheirWay;
        });
        EXPECT_TRUE(heardWhole) << "run " << run << ": " << frames->size() << " frames heard in "
                                << framesOfTimeSinceOpened() << " frames' time";
        runBlocking(capture.stop());
        runBlocking(std::move(collector));
        if (!heardWhole)
            break;
    }
}

// A second microphone that hears only its own player: the chosen one is
// recorded, the default one is not, and an unplugged choice falls back.
TEST_F(AudioDesktopTest, CaptureRecordsTheChosenMicrophone)
{
    QTemporaryDir folder;
    const QString phrase = folder.filePath(QStringLiteral("other.wav"));
    QProcess::execute(QStringLiteral("espeak-ng"), { QStringLiteral("-w"), phrase, QStringLiteral("Second.") });
    QStringList modules;
    const auto unload = qScopeGuard([&modules] {
        for (const QString& module : modules)
            QProcess::execute(QStringLiteral("pactl"), { QStringLiteral("unload-module"), module });
    });
    for (const QStringList& arguments :
        { QStringList { QStringLiteral("module-null-sink"), QStringLiteral("sink_name=vsink2") },
            QStringList { QStringLiteral("module-remap-source"), QStringLiteral("source_name=vmic2"),
                QStringLiteral("master=vsink2.monitor"), QStringLiteral("channels=1") } }) {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), QStringList { QStringLiteral("load-module") } + arguments);
        ASSERT_TRUE(pactl.waitForFinished(static_cast<int>(hangCeiling.count())) && pactl.exitCode() == 0);
        modules.prepend(QString::fromUtf8(pactl.readAllStandardOutput()).trimmed());
    }
    AudioCapture capture(std::make_shared<platform::PulseSoundServer>());
    const auto loudestWhilePlaying = [&]() -> float {
        auto frames = std::make_shared<QList<AudioFrame>>();
        QCoro::Task<void> collector = collect(runBlocking(capture.start()), frames);
        runTool(QStringLiteral("paplay"), { QStringLiteral("-d"), QStringLiteral("vsink2"), phrase });
        runBlocking(capture.stop());
        runBlocking(std::move(collector));
        float loudest = 0;
        for (const AudioFrame& frame : *frames)
            loudest = std::max(loudest, frame.rms);
        return loudest;
    };
    capture.setSelectedInputDeviceUID(QStringLiteral("vmic2"));
    EXPECT_GT(loudestWhilePlaying(), 0.01f);
    capture.setSelectedInputDeviceUID(std::nullopt);
    EXPECT_LT(loudestWhilePlaying(), 0.001f);
    capture.setSelectedInputDeviceUID(QStringLiteral("unplugged"));
    EXPECT_LT(loudestWhilePlaying(), 0.001f);
}

QStringList uids(const QList<AudioInputDevice>& devices)
{
    QStringList result;
    for (const AudioInputDevice& device : devices)
        result << device.uid + (device.isDefault ? QStringLiteral(" (default)") : QString());
    return result;
}

// One server object throughout: its answers follow the server's changes.
TEST_F(AudioDesktopTest, MicrophonesOfTheServerComeDefaultFirstWithoutMonitorsAndFollowItsChanges)
{
    auto server = std::make_shared<platform::PulseSoundServer>();
    const auto devices = [&server] {
        return uids(runBlocking(AudioInputDeviceManager::availableInputDevices(*server)));
    };
    ASSERT_TRUE(waitUntil([&server] { return server->isWatchingChanges(); }));
    int changes = 0;
    server->watchSources([&changes] { ++changes; });
    // vsink.monitor, a monitor of an output, is no microphone.
    EXPECT_EQ(devices(), QStringList { QStringLiteral("vmic (default)") });
    const PermissionChecker checker({nullptr, server, nullptr, nullptr});
    EXPECT_EQ(runBlocking(checker.microphone()), (PermissionState{VellamorPermissionStatus::granted, QString()}));
    // Recording starts and stops the source, which changes nothing an answer holds.
    ASSERT_TRUE(runBlocking(server->openRecordStream(std::nullopt, [](const char*, std::size_t) {}, {})).stream);
    // Changes are told once per burst, so a later change cannot mark the end
    // of what the stream caused: a while for a stray one.
    runEventLoopFor(300ms);
    EXPECT_EQ(changes, 0);

    // A second microphone, which makes no sound, becomes the default.
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
        { QStringLiteral("load-module"), QStringLiteral("module-null-source"), QStringLiteral("source_name=amic"),
            QStringLiteral("description=Another_Microphone") });
    ASSERT_TRUE(pactl.waitForFinished(static_cast<int>(hangCeiling.count())) && pactl.exitCode() == 0);
    const auto restore = qScopeGuard([&pactl] {
        QProcess::execute(QStringLiteral("pactl"), { QStringLiteral("set-default-source"), QStringLiteral("vmic") });
        const QString module = QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
        QProcess::execute(QStringLiteral("pactl"), { QStringLiteral("unload-module"), module });
    });
    // The change reaches the listener a moment after pactl returns.
    const QStringList added { QStringLiteral("vmic (default)"), QStringLiteral("amic") };
    EXPECT_TRUE(waitUntil([&] { return devices() == added; })) << devices().join(u' ').toStdString();
    EXPECT_TRUE(waitUntil([&] { return changes > 0; })) << "the change is told as it happens";
    ASSERT_TRUE(runTool(QStringLiteral("pactl"), { QStringLiteral("set-default-source"), QStringLiteral("amic") }));
    const QStringList switched { QStringLiteral("amic (default)"), QStringLiteral("vmic") };
    EXPECT_TRUE(waitUntil([&] { return devices() == switched; })) << devices().join(u' ').toStdString();
    EXPECT_EQ(runBlocking(AudioInputDeviceManager::availableInputDevices(*server)).value(0).name,
        QStringLiteral("Another_Microphone"));
}

} // namespace
} // namespace vellamor::test
