#include "DesktopTest.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "Audio/AudioCapture.h"
#include "Audio/AudioConversion.h"
#include "Audio/AudioInputDeviceManager.h"
#include "Permissions/PermissionChecker.h"
#include "Platform/SoundServer/PulseSoundServer.h"
#include "Support/Async/RunBlocking.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

QString arg(const char* text)
{
    return QString::fromUtf8(text);
}

constexpr float speechLevel = 0.01f;

// The level of each whole 20 ms stretch of the file, as frames would report
// it; none when the file cannot be read.
std::optional<QList<float>> frameLevels(const QString& wavFile, const QString& rawFile)
{
    // The server's own conversion to 16 kHz, done by sox.
    if (QProcess::execute(arg("sox"), {wavFile, arg("-t"), arg("raw"), arg("-r"), arg("16000"), arg("-e"),
                                       arg("signed-integer"), arg("-b"), arg("16"), arg("-c"), arg("1"), rawFile})
        != 0) {
        return std::nullopt;
    }
    QFile file(rawFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray pcm = file.readAll();
    QList<float> levels;
    for (qsizetype at = 0; at + 640 <= pcm.size(); at += 640)
        levels.append(calculateRMS(pcm.mid(at, 640)));
    return levels;
}

// First and last index whose level reaches speechLevel; none when none does.
std::optional<std::pair<qsizetype, qsizetype>> voiced(const QList<float>& levels)
{
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < levels.size(); ++i) {
        if (levels[i] >= speechLevel) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return std::nullopt;
    return std::pair {first, last};
}

QCoro::Task<void> collect(AudioFrameStream stream, std::shared_ptr<QList<AudioFrame>> into)
{
    for (;;) {
        std::optional<AudioFrame> frame = co_await stream.next();
        if (!frame)
            co_return;
        into->append(std::move(*frame));
    }
}

// The virtual microphone records vsink, which only runs while something
// plays: frames flow while a file plays, not before or after.
class AudioCaptureDesktopTest : public DesktopTest {
protected:
    static void SetUpTestSuite()
    {
        folder_ = new QTemporaryDir;
        phrase_ = folder_->filePath(arg("phrase.wav"));
        QProcess::execute(arg("espeak-ng"),
                          {arg("-w"), phrase_, arg("Vellamor turns what you say into text, twenty milliseconds at a time.")});
    }

    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }

    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    std::unique_ptr<AudioCapture> capture = std::make_unique<AudioCapture>(
        platform::systemSoundServer(),
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("audio"), systemLog, nullptr));

    static inline QTemporaryDir* folder_ = nullptr;
    static inline QString phrase_;
};

TEST_F(AudioCaptureDesktopTest, RecordsWhatThePlayerPlaysFrameForFrame)
{
    const std::optional<QList<float>> levels = frameLevels(phrase_, folder_->filePath(arg("phrase.raw")));
    ASSERT_TRUE(levels) << "espeak-ng or sox made no usable file";
    const QList<float> played = *levels;
    const auto spoken = voiced(played);
    ASSERT_TRUE(spoken);

    auto frames = std::make_shared<QList<AudioFrame>>();
    QCoro::Task<void> collector = collect(runBlocking(capture->start()), frames);
    runEventLoopFor(300ms);
    ASSERT_TRUE(runTool(arg("paplay"), {arg("-d"), arg("vsink"), phrase_}));
    runEventLoopFor(300ms);
    runBlocking(capture->stop());
    runBlocking(std::move(collector));

    ASSERT_FALSE(frames->isEmpty());
    QList<float> heard;
    for (qsizetype i = 0; i < frames->size(); ++i) {
        ASSERT_EQ(frames->at(i).sequence, i);
        ASSERT_EQ(frames->at(i).pcm.size(), 640);
        heard.append(frames->at(i).rms);
    }
    const auto speech = voiced(heard);
    ASSERT_TRUE(speech) << "nothing was heard";

    // The phrase lasts as many frames as it does in the file.
    const qsizetype spokenFrames = spoken->second - spoken->first + 1;
    const qsizetype heardFrames = speech->second - speech->first + 1;
    EXPECT_NEAR(static_cast<double>(heardFrames), static_cast<double>(spokenFrames), 0.05 * static_cast<double>(spokenFrames));

    // Frame for frame the levels follow the file's, once aligned (the server
    // may lose a moment at the very start): a frame lost or doubled inside
    // the phrase would shift everything after it.
    double best = std::numeric_limits<double>::max();
    for (qsizetype shift = -10; shift <= 10; ++shift) {
        double difference = 0;
        qsizetype compared = 0;
        for (qsizetype i = spoken->first; i <= spoken->second; ++i) {
            const qsizetype j = i + shift;
            if (j < 0 || j >= heard.size())
                continue;
            difference += std::fabs(heard[j] - played[i]);
            ++compared;
        }
        if (compared > spokenFrames * 9 / 10)
            best = std::min(best, difference / static_cast<double>(compared));
    }
    EXPECT_LT(best, 0.005);

    // Sound during the phrase, silence after it.
    const auto loud = std::count_if(heard.begin() + speech->first, heard.begin() + speech->second + 1,
                                    [](float level) { return level > 0; });
    EXPECT_GT(loud, heardFrames * 3 / 4);
    EXPECT_GT(*std::max_element(heard.begin(), heard.end()), 0.05f);
    for (qsizetype i = speech->second + 2; i < heard.size(); ++i)
        EXPECT_LT(heard[i], 0.001f) << "frame " << i;
    // All of the file arrived.
    EXPECT_GE(heard.size(), played.size() - 2);

    QStringList info;
    for (const auto& entry : systemLog->entries())
        info << entry.publicPart;
    ASSERT_EQ(info.size(), 2) << info.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QRegularExpression(arg("^audio engine started hw=[1-9][0-9]*\\.0 target=16000\\.0$")).match(info[0]).hasMatch())
        << info[0].toStdString();
    EXPECT_EQ(info[1], QStringLiteral("audio engine stopped"));
}

TEST_F(AudioCaptureDesktopTest, RestartsOnTheRealServerWhileSoundPlays)
{
    QProcess player;
    player.start(arg("paplay"), {arg("-d"), arg("vsink"), phrase_});
    ASSERT_TRUE(player.waitForStarted(5000));
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        auto frames = std::make_shared<QList<AudioFrame>>();
        QCoro::Task<void> collector = collect(runBlocking(capture->start()), frames);
        ASSERT_TRUE(waitUntil([&] { return frames->size() >= 10; }, 3s));
        runBlocking(capture->stop());
        runBlocking(std::move(collector));
        EXPECT_EQ(frames->constFirst().sequence, 0);
        EXPECT_EQ(frames->constLast().sequence, frames->size() - 1);
    }
    player.kill();
    player.waitForFinished(2000);
}

class InputDevicesDesktopTest : public DesktopTest {
protected:
    void TearDown() override
    {
        if (!module_.isEmpty())
            QProcess::execute(arg("pactl"), {arg("unload-module"), module_});
        QProcess::execute(arg("pactl"), {arg("set-default-source"), arg("vmic")});
        DesktopTest::TearDown();
    }

    // Adds a second microphone, which makes no sound.
    bool addMicrophone(const QString& name, const QString& description)
    {
        QProcess pactl;
        pactl.start(arg("pactl"), {arg("load-module"), arg("module-null-source"), arg("source_name=") + name,
                                   arg("description=") + description});
        if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
            return false;
        module_ = QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
        return !module_.isEmpty();
    }

    QString module_;
};

QStringList uids(const QList<AudioInputDevice>& devices)
{
    QStringList result;
    for (const AudioInputDevice& device : devices)
        result << device.uid + (device.isDefault ? arg(" (default)") : QString());
    return result;
}

TEST_F(InputDevicesDesktopTest, VirtualMicrophoneComesFirstWhileItIsTheDefault)
{
    const QList<AudioInputDevice> alone = AudioInputDeviceManager::availableInputDevices();
    // vsink.monitor, a monitor of an output, is no microphone.
    EXPECT_EQ(uids(alone), QStringList {arg("vmic (default)")});

    ASSERT_TRUE(addMicrophone(arg("amic"), arg("Another_Microphone")));
    EXPECT_EQ(uids(AudioInputDeviceManager::availableInputDevices()),
              (QStringList {arg("vmic (default)"), arg("amic")}));

    ASSERT_TRUE(runTool(arg("pactl"), {arg("set-default-source"), arg("amic")}));
    const QList<AudioInputDevice> switched = AudioInputDeviceManager::availableInputDevices();
    EXPECT_EQ(uids(switched), (QStringList {arg("amic (default)"), arg("vmic")}));
    ASSERT_FALSE(switched.isEmpty());
    EXPECT_EQ(switched[0].name, arg("Another_Microphone"));
}

TEST_F(InputDevicesDesktopTest, MicrophoneIsGrantedWhileTheServerOffersOne)
{
    const PermissionChecker checker;
    EXPECT_EQ(checker.microphone(), (PermissionState {VellamorPermissionStatus::granted, QString()}));
    EXPECT_EQ(runBlocking(checker.requestMicrophone()).status, VellamorPermissionStatus::granted);
}

} // namespace
} // namespace vellamor::test
