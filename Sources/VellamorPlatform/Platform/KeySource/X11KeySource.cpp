#include "Platform/KeySource/X11KeySource.h"

#include "Platform/KeySource/KeyCodeMapping.h"
#include "Platform/KeySource/KeySourceError.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

// Xlib's macros (None, Bool, KeyPress, ...) clash with Qt's names: X11
// headers come last.
#include "Platform/X11/X11ErrorTrap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace vellamor::platform {

namespace {

constexpr int linuxToX11KeyCode = 8;

struct RawKey {
    bool press = false;
    int keyCode = 0;
    int sourceId = 0;
    unsigned long time = 0;
};

// X server time is 32-bit milliseconds and wraps after about 49 days.
class ServerClock {
public:
    std::chrono::milliseconds extend(unsigned long serverTime)
    {
        const auto low = static_cast<std::uint32_t>(serverTime);
        if (seen_ && low < last_ && last_ - low > 0x80000000u)
            high_ += std::uint64_t(1) << 32;
        seen_ = true;
        last_ = low;
        return std::chrono::milliseconds(static_cast<std::int64_t>(high_ + low));
    }

private:
    bool seen_ = false;
    std::uint32_t last_ = 0;
    std::uint64_t high_ = 0;
};

struct ModifierKey {
    int x11KeyCode;
    ModifierFlags flags;
};

std::vector<ModifierKey> modifierKeys()
{
    std::vector<ModifierKey> keys;
    for (VirtualKeyCode key : {virtualKey::shift, virtualKey::rightShift, virtualKey::control, virtualKey::rightControl,
                               virtualKey::option, virtualKey::rightOption, virtualKey::command,
                               virtualKey::rightCommand}) {
        if (auto code = KeyCodeMapping::linuxKeyCode(key))
            keys.push_back({*code + linuxToX11KeyCode, KeyCodeMapping::modifierFlags(key)});
    }
    return keys;
}

unsigned int x11Modifiers(ModifierFlags flags)
{
    unsigned int mask = 0;
    if (flags & modifierFlag::shift)
        mask |= ShiftMask;
    if (flags & (modifierFlag::control | modifierFlag::fn))
        mask |= ControlMask;
    if (flags & modifierFlag::option)
        mask |= Mod1Mask;
    if (flags & modifierFlag::command)
        mask |= Mod4Mask;
    return mask;
}

unsigned int numLockMask(Display* display)
{
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return 0;
    unsigned int mask = 0;
    for (int modifier = 0; modifier < 8 && numLock != 0; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == numLock)
                mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask;
}

QString hex(unsigned int value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

} // namespace

struct X11KeySource::Connection {
    Display* events = nullptr;
    Display* grabs = nullptr;
    int xiOpcode = 0;
    std::vector<int> syntheticDevices;
    std::vector<ModifierKey> modifiers = modifierKeys();
    std::bitset<256> down;
    ServerClock clock;
    Sink sink;
    std::shared_ptr<std::atomic<bool>> ignoringSynthetic;
    std::unique_ptr<QSocketNotifier> eventNotifier;
    std::unique_ptr<QSocketNotifier> grabNotifier;
    VellamorLog log{QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey")};
    bool toldLate = false;
    bool closed = false;

    ~Connection()
    {
        releaseGrabs();
        eventNotifier.reset();
        if (events)
            XCloseDisplay(events);
    }

    // Closing the connection drops its grabs at once, so a new start (from
    // this process or another) can take the same combination.
    void releaseGrabs()
    {
        grabNotifier.reset();
        if (grabs) {
            XCloseDisplay(grabs);
            grabs = nullptr;
        }
    }

    ModifierFlags heldModifiers() const
    {
        ModifierFlags flags = 0;
        for (const auto& key : modifiers) {
            if (down.test(static_cast<std::size_t>(key.x11KeyCode)))
                flags |= key.flags;
        }
        return flags;
    }

    bool isSynthetic(int sourceId) const
    {
        return std::find(syntheticDevices.begin(), syntheticDevices.end(), sourceId) != syntheticDevices.end();
    }

    void process(const RawKey& raw)
    {
        if (raw.keyCode < linuxToX11KeyCode || raw.keyCode > 255)
            return;
        const auto index = static_cast<std::size_t>(raw.keyCode);
        const bool wasDown = down.test(index);
        const auto linuxCode = static_cast<std::uint16_t>(raw.keyCode - linuxToX11KeyCode);
        const VirtualKeyCode key = KeyCodeMapping::virtualKeyCode(linuxCode);
        const bool isModifier = KeyCodeMapping::isModifier(key);
        // Some clients release keys twice; a modifier pressed again changes nothing.
        if ((!raw.press && !wasDown) || (raw.press && wasDown && isModifier))
            return;
        down.set(index, raw.press);
        const std::chrono::milliseconds time = clock.extend(raw.time);
        // The key state follows every event, so a key the application
        // injects and a user releases (or the reverse) is never left stuck.
        if (ignoringSynthetic->load() && isSynthetic(raw.sourceId))
            return;
        if (raw.press)
            noteDelay(raw.time);

        KeyEvent event;
        event.type = isModifier ? KeyEventType::flagsChanged
                                : (raw.press ? KeyEventType::keyDown : KeyEventType::keyUp);
        event.keyCode = key;
        event.flags = heldModifiers();
        event.modifierDown = isModifier && raw.press;
        event.time = time;
        // A copy: the sink may stop the source, which drops `sink`.
        if (Sink deliver = sink)
            deliver(event);
    }

    // Xorg and Xvfb stamp events with this machine's monotonic clock in
    // milliseconds: the gap to now is how long the event waited to be read.
    // Another server's clock gives gaps of no meaning, which are ignored.
    void noteDelay(unsigned long serverTime)
    {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const auto nowMs = static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1'000'000);
        const std::uint32_t waited = nowMs - static_cast<std::uint32_t>(serverTime);
        if (waited > 60'000)
            return;
        if (waited <= lateKeyDown.count()) {
            toldLate = false;
        } else if (!std::exchange(toldLate, true)) {
            log.warn(QStringLiteral("key-down read late: %1 ms after the key went down").arg(waited));
        }
    }

    static void drainEvents(const std::shared_ptr<Connection>& self)
    {
        while (!self->closed && XPending(self->events) > 0) {
            XEvent event;
            XNextEvent(self->events, &event);
            if (event.type != GenericEvent || event.xcookie.extension != self->xiOpcode)
                continue;
            if (!XGetEventData(self->events, &event.xcookie))
                continue;
            RawKey raw;
            const bool isKey = event.xcookie.evtype == XI_RawKeyPress || event.xcookie.evtype == XI_RawKeyRelease;
            if (isKey) {
                const auto* data = static_cast<const XIRawEvent*>(event.xcookie.data);
                raw.press = event.xcookie.evtype == XI_RawKeyPress;
                raw.keyCode = data->detail;
                raw.sourceId = data->sourceid;
                raw.time = data->time;
            }
            XFreeEventData(self->events, &event.xcookie);
            if (isKey)
                self->process(raw);
        }
    }

    static void drainGrabs(const std::shared_ptr<Connection>& self)
    {
        // The grabbed keys arrive here as core events; they only need reading.
        while (self->grabs && XPending(self->grabs) > 0) {
            XEvent event;
            XNextEvent(self->grabs, &event);
        }
    }

    // Asks for the raw key events of every keyboard, so the hotkey is seen
    // whichever window has the focus, and learns which keys are already down.
    void selectRawKeys()
    {
        Display* display = events;
        X11ErrorTrap trap(display);
        int firstEvent = 0;
        int firstError = 0;
        if (!XQueryExtension(display, "XInputExtension", &xiOpcode, &firstEvent, &firstError))
            throw KeySourceError(KeySourceError::Kind::observationUnavailable, QStringLiteral("no XInputExtension"));
        int major = 2;
        int minor = 2;
        if (XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
            throw KeySourceError(KeySourceError::Kind::observationUnavailable,
                                 QStringLiteral("XInput %1.%2").arg(major).arg(minor));
        }

        int deviceCount = 0;
        if (XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &deviceCount)) {
            for (int i = 0; i < deviceCount; ++i) {
                if (devices[i].use == XISlaveKeyboard && devices[i].name && std::strstr(devices[i].name, "XTEST"))
                    syntheticDevices.push_back(devices[i].deviceid);
            }
            XIFreeDeviceInfo(devices);
        }

        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> mask{};
        XISetMask(mask.data(), XI_RawKeyPress);
        XISetMask(mask.data(), XI_RawKeyRelease);
        XIEventMask eventMask{XIAllMasterDevices, static_cast<int>(mask.size()), mask.data()};
        XISelectEvents(display, DefaultRootWindow(display), &eventMask, 1);

        Bool detectable = False;
        XkbSetDetectableAutoRepeat(display, True, &detectable);

        // Modifiers held while we start count as held.
        std::array<char, 32> keys{};
        XQueryKeymap(display, keys.data());
        for (std::size_t code = 0; code < 256; ++code)
            down.set(code, (static_cast<unsigned char>(keys[code / 8]) >> (code % 8)) & 1u);

        if (!trap.sync().empty())
            throw KeySourceError(KeySourceError::Kind::observationUnavailable,
                                 QStringLiteral("raw key events refused"));
    }

    // Takes the combination on a connection of its own, with and without
    // the lock keys, so that it reaches no other application.
    static void grabKey(const std::shared_ptr<Connection>& self, const KeyGrab& grab, const char* displayName,
                        const QString& shownName)
    {
        const auto linuxCode = KeyCodeMapping::linuxKeyCode(grab.keyCode);
        if (!linuxCode)
            throw KeySourceError(KeySourceError::Kind::keyUnavailable,
                                 QStringLiteral("hotkey=") + QString::number(grab.keyCode));
        self->grabs = XOpenDisplay(displayName);
        if (!self->grabs)
            throw KeySourceError(KeySourceError::Kind::displayUnavailable, QStringLiteral("display=") + shownName);
        Display* display = self->grabs;
        const int keyCode = *linuxCode + linuxToX11KeyCode;
        int minKeyCode = 0;
        int maxKeyCode = 0;
        XDisplayKeycodes(display, &minKeyCode, &maxKeyCode);
        if (keyCode < minKeyCode || keyCode > maxKeyCode
            || XkbKeycodeToKeysym(display, static_cast<KeyCode>(keyCode), 0, 0) == NoSymbol) {
            throw KeySourceError(KeySourceError::Kind::keyUnavailable,
                                 QStringLiteral("keycode=") + QString::number(keyCode));
        }

        const unsigned int modifiers = x11Modifiers(grab.modifiers);
        const unsigned int numLock = numLockMask(display);
        std::vector<unsigned int> variants{modifiers, modifiers | LockMask};
        if (numLock != 0) {
            variants.push_back(modifiers | numLock);
            variants.push_back(modifiers | LockMask | numLock);
        }
        X11ErrorTrap trap(display);
        for (unsigned int variant : variants) {
            XGrabKey(display, keyCode, variant, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
        }
        const auto failures = trap.sync();
        if (!failures.empty()) {
            const bool taken = std::any_of(failures.begin(), failures.end(),
                                           [](const auto& failure) { return failure.errorCode == BadAccess; });
            throw KeySourceError(KeySourceError::Kind::grabRefused,
                                 QStringLiteral("keycode=") + QString::number(keyCode) + QStringLiteral(" modifiers=")
                                     + hex(modifiers)
                                     + (taken ? QStringLiteral(" held by another client")
                                              : QStringLiteral(" error=")
                                                  + QString::number(failures.front().errorCode)));
        }
        self->grabNotifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
        std::weak_ptr<Connection> weak = self;
        QObject::connect(self->grabNotifier.get(), &QSocketNotifier::activated, [weak] {
            if (auto connection = weak.lock())
                Connection::drainGrabs(connection);
        });
    }
};

X11KeySource::X11KeySource(QString displayName)
    : X11KeySource(std::move(displayName), VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey")))
{
}

X11KeySource::X11KeySource(QString displayName, VellamorLog log)
    : displayName_(std::move(displayName))
    , log_(std::move(log))
    , ignoringSynthetic_(std::make_shared<std::atomic<bool>>(false))
{
}

X11KeySource::~X11KeySource()
{
    stop();
}

void X11KeySource::setIgnoringSyntheticInput(bool ignoring)
{
    ignoringSynthetic_->store(ignoring);
}

void X11KeySource::start(const std::optional<KeyGrab>& grab, Sink sink)
{
    if (connection_)
        return;

    const QByteArray name = displayName_.toLocal8Bit();
    const char* displayName = displayName_.isEmpty() ? nullptr : name.constData();
    const QString shownName = displayName_.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName_;

    auto connection = std::make_shared<Connection>();
    connection->log = log_;
    connection->ignoringSynthetic = ignoringSynthetic_;
    connection->sink = std::move(sink);
    connection->events = XOpenDisplay(displayName);
    if (!connection->events)
        throw KeySourceError(KeySourceError::Kind::displayUnavailable, QStringLiteral("display=") + shownName);

    connection->selectRawKeys();
    if (grab)
        Connection::grabKey(connection, *grab, displayName, shownName);

    connection->eventNotifier
        = std::make_unique<QSocketNotifier>(ConnectionNumber(connection->events), QSocketNotifier::Read);
    std::weak_ptr<Connection> weak = connection;
    const auto drain = [weak] {
        if (auto self = weak.lock())
            Connection::drainEvents(self);
    };
    QObject::connect(connection->eventNotifier.get(), &QSocketNotifier::activated, drain);
    connection_ = connection;
    // Events Xlib already read while starting wait in its queue, where the
    // socket notifier cannot see them.
    QTimer::singleShot(0, connection->eventNotifier.get(), drain);
}

void X11KeySource::stop()
{
    if (!connection_)
        return;
    auto connection = std::move(connection_);
    connection->closed = true;
    connection->sink = nullptr;
    connection->releaseGrabs();
}

} // namespace vellamor::platform
