#include "Platform/KeyInjection/XTestKeyInjector.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

// Xlib's macros (None, Bool, KeyPress, ...) clash with Qt's names: X11
// headers come last.
#include "Platform/X11/X11ErrorTrap.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace vellamor::platform
{

namespace
{

KeySym keysymFor(char32_t character)
{
    const xkb_keysym_t keysym = xkb_utf32_to_keysym(character);
    if (keysym != XKB_KEY_NoSymbol)
        return keysym;
    return 0x01000000 | character;
}

bool isKeypad(KeySym keysym)
{
    return keysym >= XK_KP_Space && keysym <= XK_KP_Equal;
}

// Whether the key code types `mapping`'s characters in the first group, and
// nothing at the levels it leaves empty.
bool holds(XkbDescPtr xkb, const KeyMapping& mapping)
{
    const int keyCode = mapping.keyCode;
    if (keyCode < xkb->min_key_code || keyCode > xkb->max_key_code || XkbKeyNumGroups(xkb, keyCode) == 0)
        return false;
    const int width = XkbKeyGroupWidth(xkb, keyCode, 0);
    const auto held = [&](int level, char32_t character) {
        const KeySym keysym = level < width ? XkbKeySymEntry(xkb, keyCode, level, 0) : NoSymbol;
        return keysym == (character != 0 ? keysymFor(character) : NoSymbol);
    };
    return held(0, mapping.plain) && held(1, mapping.shifted);
}

} // namespace

struct XTestKeyInjector::Connection {
    Display* display = nullptr;
    int minKeyCode = 8;
    int maxKeyCode = 255;
    int xkbOpcode = 0;
    int xkbEventBase = 0;
    // What mapKeyCodes() gave each key code, and the serial of the request
    // that did: a keymap load the server handled after it undid it.
    struct OwnMapping {
        KeyMapping mapping;
        unsigned long request = 0;
    };
    std::map<int, OwnMapping> own;
    // Characters of the active group and the modifiers' key codes, read on demand.
    std::optional<std::map<char32_t, InjectedKey>> layout;
    std::optional<std::vector<int>> modifiers;
    // Whether the root's changes are selected, while a ping is open.
    bool watchingRoot = false;

    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }

    const std::map<char32_t, InjectedKey>& characters()
    {
        if (!layout)
            layout = readLayout();
        return *layout;
    }

    std::map<char32_t, InjectedKey> readLayout()
    {
        std::map<char32_t, InjectedKey> result;
        XkbStateRec state {};
        XkbGetState(display, XkbUseCoreKbd, &state);
        XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
        if (!xkb)
            return result;
        for (int keyCode = minKeyCode; keyCode <= maxKeyCode; ++keyCode) {
            const int groups = XkbKeyNumGroups(xkb, keyCode);
            if (groups == 0)
                continue;
            // Groups beyond the key's own wrap around, as the server does by default.
            const int group = state.group % groups;
            XkbKeyTypePtr type = XkbKeyKeyType(xkb, keyCode, group);
            int shiftLevel = -1;
            for (int i = 0; type && i < type->map_count; ++i) {
                const XkbKTMapEntryRec& entry = type->map[i];
                if (entry.active && entry.mods.mask == ShiftMask)
                    shiftLevel = entry.level;
            }
            const int width = XkbKeyGroupWidth(xkb, keyCode, group);
            const auto add = [&](int level, bool shift) {
                if (level < 0 || level >= width)
                    return;
                const KeySym keysym = XkbKeySymEntry(xkb, keyCode, level, group);
                if (keysym == NoSymbol || isKeypad(keysym))
                    return;
                const char32_t character = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
                if (character == 0 || character < 0x20 || character == 0x7f)
                    return;
                // The first key in code order wins, except that a key
                // without Shift beats one with it.
                const InjectedKey key { keyCode, shift };
                const auto [found, inserted] = result.try_emplace(character, key);
                if (!inserted && found->second.shift && !shift)
                    found->second = key;
            };
            add(0, false);
            if (shiftLevel > 0)
                add(shiftLevel, true);
        }
        XkbFreeKeyboard(xkb, 0, True);
        return result;
    }

    std::optional<int> keyCodeFor(KeySym keysym)
    {
        const KeyCode code = XKeysymToKeycode(display, keysym);
        if (code == 0)
            return std::nullopt;
        return code;
    }

    const std::vector<int>& modifierKeyCodes()
    {
        if (!modifiers)
            modifiers = readModifierKeyCodes();
        return *modifiers;
    }

    std::vector<int> readModifierKeyCodes()
    {
        std::vector<int> codes;
        XModifierKeymap* map = XGetModifierMapping(display);
        if (!map)
            return codes;
        for (int modifier = 0; modifier < 8; ++modifier) {
            if (modifier == LockMapIndex)
                continue;
            for (int i = 0; i < map->max_keypermod; ++i) {
                const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
                if (code != 0)
                    codes.push_back(code);
            }
        }
        XFreeModifiermap(map);
        return codes;
    }

    std::vector<int> pressedModifiers()
    {
        char keys[32] = {};
        XQueryKeymap(display, keys);
        std::vector<int> pressed;
        for (int code : modifierKeyCodes()) {
            if (keys[code / 8] & (1 << (code % 8)))
                pressed.push_back(code);
        }
        return pressed;
    }

    Window activeWindow()
    {
        const Window root = DefaultRootWindow(display);
        const Atom property = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        Window window = 0;
        X11ErrorTrap trap(display);
        if (XGetWindowProperty(
                display, root, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &remaining, &data)
                == Success
            && data) {
            if (type == XA_WINDOW && format == 32 && count == 1)
                window = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        if (window == 0) {
            int revert = 0;
            XGetInputFocus(display, &window, &revert);
            if (window == PointerRoot)
                window = 0;
        }
        trap.sync();
        return window;
    }

    void stopWatchingRoot()
    {
        if (!watchingRoot)
            return;
        XSelectInput(display, DefaultRootWindow(display), NoEventMask);
        watchingRoot = false;
        // Takes in what came before the change took effect.
        XSync(display, False);
        takeEvents();
    }

    // Reads every event that came in, so none pile up: a keymap another
    // client loaded is taken in, `other` sees the rest, and they are gone.
    void takeEvents(const std::function<void(const XEvent&)>& other = {})
    {
        while (XPending(display) > 0) {
            XEvent event {};
            XNextEvent(display, &event);
            if (isKeymapLoad(event))
                keymapLoaded(event.xany.serial);
            else if (other)
                other(event);
        }
    }

    // A whole keymap loaded by a client (setxkbmap, a desktop's layout
    // switch). The server also announces a new keyboard when the keys of
    // another device are typed (this one's among them), as a map change,
    // which this process's own changes are as well: those keep the mappings.
    bool isKeymapLoad(const XEvent& event) const
    {
        if (event.type != xkbEventBase)
            return false;
        const auto& any = reinterpret_cast<const XkbAnyEvent&>(event);
        if (any.xkb_type != XkbNewKeyboardNotify)
            return false;
        const auto& keyboard = reinterpret_cast<const XkbNewKeyboardNotifyEvent&>(event);
        return static_cast<unsigned char>(keyboard.req_major) == xkbOpcode
            && static_cast<unsigned char>(keyboard.req_minor) == X_kbGetKbdByName;
    }

    // `handledUpTo`: the last request of this connection the server had
    // handled when it loaded the keymap.
    void keymapLoaded(unsigned long handledUpTo)
    {
        std::erase_if(own, [handledUpTo](const auto& entry) { return entry.second.request <= handledUpTo; });
        layout.reset();
        modifiers.reset();
    }

    // Whether the window lists _NET_WM_PING among its WM_PROTOCOLS.
    bool takesPing(Window window)
    {
        Atom* protocols = nullptr;
        int count = 0;
        if (!XGetWMProtocols(display, window, &protocols, &count))
            return false;
        const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
        const bool found = std::find(protocols, protocols + count, ping) != protocols + count;
        XFree(protocols);
        return found;
    }

    bool hasProperty(Window window, const char* name)
    {
        const Atom property = XInternAtom(display, name, False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const bool read = XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType, &type, &format,
                              &count, &remaining, &data)
            == Success;
        if (data)
            XFree(data);
        return read && type != 0;
    }

    // The application window that holds `window`: the first one from it up
    // that the window manager manages (it sets WM_STATE on those). The window
    // manager's own windows and the root belong to no application; without a
    // window manager any window below the root counts.
    std::optional<Window> clientWindow(Window window)
    {
        const Window root = DefaultRootWindow(display);
        if (window == 0 || window == root)
            return std::nullopt;
        if (!hasProperty(root, "_NET_SUPPORTING_WM_CHECK"))
            return window;
        return climb<Window>(window, [this](Window w) -> std::optional<Window> {
            return hasProperty(w, "WM_STATE") ? std::optional(w) : std::nullopt;
        });
    }

    // The focus may sit in a child of the managed window: climbs from
    // `window` to the first window `read` finds something on, stopping below
    // the root.
    template <typename T> std::optional<T> climb(Window window, const std::function<std::optional<T>(Window)>& read)
    {
        while (window != 0) {
            if (auto found = read(window))
                return found;
            Window root = 0, parent = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display, window, &root, &parent, &children, &count))
                break;
            if (children)
                XFree(children);
            if (parent == root)
                break;
            window = parent;
        }
        return std::nullopt;
    }
};

XTestKeyInjector::XTestKeyInjector(QString displayName)
    : displayName_(std::move(displayName))
{
}

XTestKeyInjector::~XTestKeyInjector() = default;

XTestKeyInjector::Connection* XTestKeyInjector::connection()
{
    if (connection_ || openFailed_)
        return connection_.get();
    const QByteArray name = displayName_.toLocal8Bit();
    Display* display = XOpenDisplay(displayName_.isEmpty() ? nullptr : name.constData());
    if (!display) {
        openFailed_ = true;
        return nullptr;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    int xkbOpcode = 0, xkbEvent = 0, xkbError = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)
        || !XkbQueryExtension(display, &xkbOpcode, &xkbEvent, &xkbError, &xkbMajor, &xkbMinor)) {
        XCloseDisplay(display);
        openFailed_ = true;
        return nullptr;
    }
    connection_ = std::make_unique<Connection>();
    connection_->display = display;
    connection_->xkbOpcode = xkbOpcode;
    connection_->xkbEventBase = xkbEvent;
    XDisplayKeycodes(display, &connection_->minKeyCode, &connection_->maxKeyCode);
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbNewKeyboardNotify, XkbNKN_KeycodesMask, XkbNKN_KeycodesMask);
    return connection_.get();
}

bool XTestKeyInjector::isAvailable()
{
    Connection* c = connection();
    if (!c)
        return false;
    c->layout.reset();
    c->modifiers.reset();
    return true;
}

std::optional<InjectedKey> XTestKeyInjector::keyForCharacter(char32_t character)
{
    Connection* c = connection();
    if (!c)
        return std::nullopt;
    const auto& characters = c->characters();
    const auto found = characters.find(character);
    if (found == characters.end())
        return std::nullopt;
    return found->second;
}

std::optional<InjectedKey> XTestKeyInjector::keyForSpecial(SpecialKey key)
{
    Connection* c = connection();
    if (!c)
        return std::nullopt;
    KeySym keysym = XK_Return;
    if (key == SpecialKey::tab)
        keysym = XK_Tab;
    else if (key == SpecialKey::insert)
        keysym = XK_Insert;
    const auto code = c->keyCodeFor(keysym);
    if (!code)
        return std::nullopt;
    return InjectedKey { *code, false };
}

std::vector<int> XTestKeyInjector::spareKeyCodes(int count)
{
    std::vector<int> spare;
    Connection* c = connection();
    if (!c || count <= 0)
        return spare;
    int width = 0;
    const int codes = c->maxKeyCode - c->minKeyCode + 1;
    KeySym* syms = XGetKeyboardMapping(c->display, static_cast<KeyCode>(c->minKeyCode), codes, &width);
    if (!syms)
        return spare;
    const auto modifiers = c->modifierKeyCodes();
    for (int keyCode = c->maxKeyCode; keyCode >= c->minKeyCode && static_cast<int>(spare.size()) < count; --keyCode) {
        const KeySym* row = syms + static_cast<std::ptrdiff_t>(keyCode - c->minKeyCode) * width;
        const bool empty = std::all_of(row, row + width, [](KeySym s) { return s == NoSymbol; });
        if (empty && std::find(modifiers.begin(), modifiers.end(), keyCode) == modifiers.end())
            spare.push_back(keyCode);
    }
    XFree(syms);
    std::sort(spare.begin(), spare.end());
    return spare;
}

bool XTestKeyInjector::mapKeyCodes(const std::vector<KeyMapping>& mapping)
{
    Connection* c = connection();
    if (!c)
        return false;
    for (const auto& entry : mapping) {
        if (entry.keyCode < c->minKeyCode || entry.keyCode > c->maxKeyCode)
            return false;
    }
    if (mapping.empty())
        return true;
    // One XKB request for the whole batch: every change of the keymap makes
    // the window manager and each application reload theirs, and the spare
    // key codes lie scattered, so one request per key code cost seconds of
    // their time. Keys between the spare ones are sent back unchanged.
    XkbDescPtr xkb = XkbGetMap(c->display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return false;
    XkbMapChangesRec changes {};
    bool ok = true;
    for (const auto& [keyCode, plain, shifted] : mapping) {
        const int levels = shifted != 0 ? 2 : 1;
        int types[XkbNumKbdGroups] = { levels == 2 ? XkbTwoLevelIndex : XkbOneLevelIndex };
        // Emptied first: changing the width of a key that has symbols makes
        // Xlib look at its actions, which this map (without the server part)
        // does not hold.
        ok = XkbChangeTypesOfKey(xkb, keyCode, 0, XkbGroup1Mask, types, &changes) == Success && ok;
        if (plain == 0 && shifted == 0)
            continue;
        if (XkbChangeTypesOfKey(xkb, keyCode, 1, XkbGroup1Mask, types, &changes) != Success) {
            ok = false;
            continue;
        }
        KeySym* syms = XkbResizeKeySyms(xkb, keyCode, levels);
        if (!syms) {
            ok = false;
            continue;
        }
        syms[0] = plain != 0 ? keysymFor(plain) : NoSymbol;
        if (levels == 2)
            syms[1] = keysymFor(shifted);
    }
    // XkbChangeTypesOfKey does not note its changes; the range is ours to give.
    const auto [lowest, highest] = std::minmax_element(
        mapping.begin(), mapping.end(), [](const auto& a, const auto& b) { return a.keyCode < b.keyCode; });
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = static_cast<unsigned char>(lowest->keyCode);
    changes.num_key_syms = static_cast<unsigned char>(highest->keyCode - lowest->keyCode + 1);
    if (ok) {
        X11ErrorTrap trap(c->display);
        const unsigned long request = NextRequest(c->display);
        ok = XkbChangeMap(c->display, xkb, &changes) && !trap.anyFailed();
        for (const auto& entry : mapping) {
            if (!ok)
                break;
            if (entry.plain == 0 && entry.shifted == 0)
                c->own.erase(entry.keyCode);
            else
                c->own[entry.keyCode] = { entry, request };
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
    c->layout.reset();
    return ok;
}

std::vector<KeyMapping> XTestKeyInjector::ownMappings()
{
    std::vector<KeyMapping> held;
    Connection* c = connection();
    if (!c)
        return held;
    // The answer comes after every event the server sent before it, a load
    // among them.
    XkbDescPtr xkb = c->own.empty() ? nullptr : XkbGetMap(c->display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    c->takeEvents();
    std::erase_if(c->own, [xkb](const auto& entry) { return !xkb || !holds(xkb, entry.second.mapping); });
    for (const auto& [keyCode, entry] : c->own)
        held.push_back(entry.mapping);
    if (xkb)
        XkbFreeKeyboard(xkb, 0, True);
    return held;
}

bool XTestKeyInjector::tap(const InjectedKey& key, bool withControl)
{
    Connection* c = connection();
    if (!c || key.keyCode < c->minKeyCode || key.keyCode > c->maxKeyCode)
        return false;
    std::optional<int> control;
    std::optional<int> shift;
    if (withControl) {
        control = c->keyCodeFor(XK_Control_L);
        if (!control)
            return false;
    }
    if (key.shift) {
        shift = c->keyCodeFor(XK_Shift_L);
        if (!shift)
            return false;
    }
    const auto send = [&](int code, bool down) {
        return XTestFakeKeyEvent(c->display, static_cast<unsigned>(code), down ? True : False, CurrentTime) != 0;
    };
    bool ok = true;
    if (control)
        ok = send(*control, true) && ok;
    if (shift)
        ok = send(*shift, true) && ok;
    ok = send(key.keyCode, true) && ok;
    ok = send(key.keyCode, false) && ok;
    if (shift)
        ok = send(*shift, false) && ok;
    if (control)
        ok = send(*control, false) && ok;
    XFlush(c->display);
    return ok;
}

KeyInjector::TapOutcome XTestKeyInjector::tapUnlessModifiersHeld(const InjectedKey& key)
{
    Connection* c = connection();
    if (!c)
        return TapOutcome::refused;
    XGrabServer(c->display);
    const bool held = !c->pressedModifiers().empty();
    const bool tapped = !held && tap(key, false);
    XUngrabServer(c->display);
    XFlush(c->display);
    if (held)
        return TapOutcome::modifiersHeld;
    return tapped ? TapOutcome::tapped : TapOutcome::refused;
}

bool XTestKeyInjector::modifiersHeld()
{
    Connection* c = connection();
    return c && !c->pressedModifiers().empty();
}

void XTestKeyInjector::releaseModifiers()
{
    Connection* c = connection();
    if (!c)
        return;
    for (int code : c->pressedModifiers())
        XTestFakeKeyEvent(c->display, static_cast<unsigned>(code), False, CurrentTime);
    XFlush(c->display);
}

bool XTestKeyInjector::capsLockOn()
{
    Connection* c = connection();
    if (!c)
        return false;
    XkbStateRec state {};
    if (XkbGetState(c->display, XkbUseCoreKbd, &state) != Success)
        return false;
    return (state.locked_mods & LockMask) != 0;
}

void XTestKeyInjector::setCapsLock(bool on)
{
    Connection* c = connection();
    if (!c)
        return;
    XkbLockModifiers(c->display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XFlush(c->display);
}

void XTestKeyInjector::flush()
{
    Connection* c = connection();
    if (!c)
        return;
    // A ping nobody answered is forgotten here, at the latest. Every client
    // gets the notices of keymap changes: taken in here, they cannot pile up
    // while the windows typed into take no pings.
    c->stopWatchingRoot();
    XSync(c->display, False);
    c->takeEvents();
}

std::optional<quint32> XTestKeyInjector::pingFocusedWindow()
{
    Connection* c = connection();
    if (!c)
        return std::nullopt;
    X11ErrorTrap trap(c->display);
    const auto window = c->clientWindow(c->activeWindow());
    if (!window || !c->takesPing(*window)) {
        trap.sync();
        return std::nullopt;
    }
    const Window root = DefaultRootWindow(c->display);
    // The answer is sent to the root for the window manager, and reaches
    // this connection only through a mask of the answer's own: GTK sends it
    // to whoever watches the root's children, Qt to whoever watches the root
    // itself, and an answer missed holds the typing for the whole limit.
    // Only while a ping is open: the events would pile up otherwise.
    if (!c->watchingRoot) {
        XSelectInput(c->display, root, StructureNotifyMask | SubstructureNotifyMask);
        c->watchingRoot = true;
    }
    const quint32 ping = ++lastPing_;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = *window;
    event.xclient.message_type = XInternAtom(c->display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(c->display, "_NET_WM_PING", False));
    event.xclient.data.l[1] = static_cast<long>(ping);
    event.xclient.data.l[2] = static_cast<long>(*window);
    XSendEvent(c->display, *window, False, NoEventMask, &event);
    if (trap.anyFailed()) {
        c->stopWatchingRoot();
        return std::nullopt;
    }
    return ping;
}

bool XTestKeyInjector::pingAnswered(quint32 ping)
{
    Connection* c = connection();
    if (!c)
        return false;
    const Atom pingAtom = XInternAtom(c->display, "_NET_WM_PING", False);
    bool answered = false;
    c->takeEvents([&](const XEvent& event) {
        if (event.type == ClientMessage && event.xclient.format == 32
            && static_cast<Atom>(event.xclient.data.l[0]) == pingAtom
            && static_cast<quint32>(event.xclient.data.l[1]) == ping)
            answered = true;
    });
    if (answered)
        c->stopWatchingRoot();
    return answered;
}

QStringList XTestKeyInjector::activeWindowClass()
{
    Connection* c = connection();
    if (!c)
        return {};
    const Window window = c->activeWindow();
    X11ErrorTrap trap(c->display);
    const auto names = c->climb<QStringList>(window, [c](Window w) -> std::optional<QStringList> {
        XClassHint hint {};
        if (!XGetClassHint(c->display, w, &hint))
            return std::nullopt;
        QStringList found;
        if (hint.res_name)
            found << QString::fromLocal8Bit(hint.res_name);
        if (hint.res_class)
            found << QString::fromLocal8Bit(hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
        return found;
    });
    trap.sync();
    return names.value_or(QStringList());
}

std::optional<FocusedWindow> XTestKeyInjector::focusedWindow()
{
    Connection* c = connection();
    if (!c)
        return std::nullopt;
    X11ErrorTrap trap(c->display);
    const auto window = c->clientWindow(c->activeWindow());
    if (!window)
        return std::nullopt;
    const Atom pidProperty = XInternAtom(c->display, "_NET_WM_PID", False);
    const auto pid = c->climb<qint64>(*window, [c, pidProperty](Window w) -> std::optional<qint64> {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::optional<qint64> found;
        if (XGetWindowProperty(
                c->display, w, pidProperty, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining, &data)
                == Success
            && data) {
            if (type == XA_CARDINAL && format == 32 && count == 1)
                found = static_cast<qint64>(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        return found;
    });
    // A window destroyed meanwhile has no focus either.
    if (trap.anyFailed())
        return std::nullopt;
    return FocusedWindow { pid };
}

} // namespace vellamor::platform
