#include "FakeSoundServer.h"
#include "QtPrinters.h"

#include "Audio/AudioInputDeviceManager.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using platform::SoundServerSnapshot;
using platform::SoundSource;

SoundSource source(quint32 index, const char* name, std::optional<const char*> description, bool monitor = false,
                   int channels = 1)
{
    SoundSource s;
    s.index = index;
    s.name = QString::fromUtf8(name);
    if (description)
        s.description = QString::fromUtf8(*description);
    s.isMonitor = monitor;
    s.channels = channels;
    s.sampleRate = 48000;
    return s;
}

SoundServerSnapshot serverWith(const char* defaultSource, QList<SoundSource> sources)
{
    SoundServerSnapshot snapshot;
    snapshot.reachable = true;
    snapshot.defaultSourceName = QString::fromUtf8(defaultSource);
    snapshot.sources = std::move(sources);
    return snapshot;
}

QStringList names(const QList<AudioInputDevice>& devices)
{
    QStringList result;
    for (const AudioInputDevice& device : devices)
        result << device.name + (device.isDefault ? QStringLiteral(" *") : QString());
    return result;
}

TEST(AudioInputDeviceManager, ListsMicrophonesDefaultFirstThenByNameWithNumbersByValue)
{
    struct Case {
        const char* name;
        SoundServerSnapshot snapshot;
        QStringList expected;
    };
    const Case cases[] = {
        {"default late in the alphabet, numbered names",
         serverWith("zed", {source(1, "mic10", "USB Mic 10"), source(2, "zed", "Zoom H2"), source(3, "mic2", "USB Mic 2")}),
         {QStringLiteral("Zoom H2 *"), QStringLiteral("USB Mic 2"), QStringLiteral("USB Mic 10")}},
        {"case does not order names",
         serverWith("b", {source(1, "a", "beta"), source(2, "b", "Delta"), source(3, "c", "Alpha")}),
         {QStringLiteral("Delta *"), QStringLiteral("Alpha"), QStringLiteral("beta")}},
        {"monitors of outputs and channel-less sources are left out",
         serverWith("mic", {source(1, "speakers.monitor", "Monitor of Speakers", true), source(2, "mic", "Headset"),
                            source(3, "odd", "No Channels", false, 0)}),
         {QStringLiteral("Headset *")}},
        {"a source without a name is left out, one without a description is unknown",
         serverWith("mic", {source(1, "", "Nameless"), source(2, "mic", std::nullopt), source(3, "other", "  ")}),
         {QStringLiteral("未知麦克风 *"), QStringLiteral("未知麦克风")}},
        {"a monitor as default: the microphones are listed, none as default",
         serverWith("speakers.monitor", {source(1, "speakers.monitor", "Monitor", true), source(2, "mic", "Headset")}),
         {QStringLiteral("Headset")}},
        {"no default source", serverWith("", {source(1, "mic", "Headset")}), {}},
        {"server unreachable", SoundServerSnapshot {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(names(AudioInputDeviceManager::devicesFrom(c.snapshot)), c.expected);
    }
}

TEST(AudioInputDeviceManager, ComparesNamesByTheirNumbersAndIgnoringCase)
{
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"Mic 2", "Mic 10", -1},
        {"Mic 10", "Mic 2", 1},
        {"USB 9 Pro", "USB 10", -1},
        {"Mic 007", "Mic 7", 0},
        {"Mic 1 b", "Mic 1 A", 1},
        {"headset", "Headset", 0},
        {"Mic", "Mic 1", -1},
        {"Track 2 of 10", "Track 2 of 9", 1},
        {"", "A", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        const int order = AudioInputDeviceManager::compareNames(QString::fromUtf8(c.a), QString::fromUtf8(c.b));
        EXPECT_EQ((order > 0) - (order < 0), c.sign);
    }
}

TEST(AudioInputDeviceManager, DeviceCarriesTheServersIndexAndPersistentName)
{
    FakeSoundServer server;
    server.answer = serverWith("alsa_input.usb", {source(7, "alsa_input.usb", "USB Audio"), source(3, "alsa_input.pci", "Built-in")});
    const QList<AudioInputDevice> devices = AudioInputDeviceManager::availableInputDevices(server);
    EXPECT_THAT(devices, ::testing::ElementsAre(AudioInputDevice {7, QStringLiteral("alsa_input.usb"), QStringLiteral("USB Audio"), true},
                                                AudioInputDevice {3, QStringLiteral("alsa_input.pci"), QStringLiteral("Built-in"), false}));
    EXPECT_EQ(server.snapshotCount(), 1);
}

} // namespace
} // namespace vellamor::test
