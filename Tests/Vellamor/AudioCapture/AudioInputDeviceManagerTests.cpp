#include "QtPrinters.h"

#include "AudioCapture/AudioInputDeviceManager.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using platform::SoundServerSnapshot;
using platform::SoundSource;

SoundSource source(const char* name, std::optional<const char*> description, bool monitor = false, int channels = 1)
{
    SoundSource s;
    s.name = QString::fromUtf8(name);
    if (description)
        s.description = QString::fromUtf8(*description);
    s.isMonitor = monitor;
    s.channels = channels;
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
        {"default first, then names with numbers by value, case ignored",
         serverWith("z", {source("a", "USB 10"), source("b", "Mic 10"), source("c", "beta"), source("d", "Mic 003"),
                          source("e", "Track 2 of 10"), source("f", "USB 9 Pro"), source("g", "Mic"),
                          source("h", "Track 2 of 9"), source("i", "Alpha"), source("j", "Mic 2"),
                          source("z", "Zoom")}),
         {QStringLiteral("Zoom *"), QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("Mic"),
          QStringLiteral("Mic 2"), QStringLiteral("Mic 003"), QStringLiteral("Mic 10"), QStringLiteral("Track 2 of 9"),
          QStringLiteral("Track 2 of 10"), QStringLiteral("USB 9 Pro"), QStringLiteral("USB 10")}},
        {"monitors of outputs and channel-less sources are left out",
         serverWith("mic", {source("speakers.monitor", "Monitor of Speakers", true), source("mic", "Headset"),
                            source("odd", "No Channels", false, 0)}),
         {QStringLiteral("Headset *")}},
        {"a source without a name is left out, one without a description is unknown",
         serverWith("mic", {source("", "Nameless"), source("mic", std::nullopt), source("other", "  ")}),
         {QStringLiteral("未知麦克风 *"), QStringLiteral("未知麦克风")}},
        {"a monitor as default: the microphones are listed, none as default",
         serverWith("speakers.monitor", {source("speakers.monitor", "Monitor", true), source("mic", "Headset")}),
         {QStringLiteral("Headset")}},
        {"no default source", serverWith("", {source("mic", "Headset")}), {}},
        {"server unreachable", SoundServerSnapshot {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(names(AudioInputDeviceManager::devicesFrom(c.snapshot)), c.expected);
    }
}

} // namespace
} // namespace vellamor::test
