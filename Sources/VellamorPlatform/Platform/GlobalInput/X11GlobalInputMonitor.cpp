#include "Platform/GlobalInput/X11GlobalInputMonitor.h"

#include "Platform/KeySource/KeyCodeMapping.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cmath>
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
constexpr int leftButton = 1;
constexpr int rightButton = 3;

} // namespace

struct X11GlobalInputMonitor::Connection {
    Display* display = nullptr;
    int xiOpcode = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::weak_ptr<Handlers> handlers;
    bool closed = false;

    ~Connection()
    {
        // The last monitor may go from inside a handler, that is from inside
        // the notifier's own signal.
        if (notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
        if (display)
            XCloseDisplay(display);
    }

    QPoint pointerPosition() const
    {
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        int windowX = 0;
        int windowY = 0;
        unsigned int mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
        return QPoint(static_cast<int>(std::floor(rootX / ratio)), static_cast<int>(std::floor(rootY / ratio)));
    }

    VirtualKeyCode keyOf(int x11KeyCode) const
    {
        if (XkbKeycodeToKeysym(display, static_cast<KeyCode>(x11KeyCode), 0, 0) == XK_Escape)
            return virtualKey::escape;
        if (x11KeyCode < linuxToX11KeyCode || x11KeyCode > 255)
            return virtualKey::unknown;
        return KeyCodeMapping::virtualKeyCode(static_cast<std::uint16_t>(x11KeyCode - linuxToX11KeyCode));
    }

    // Each handler present when the press is delivered, unless removed by
    // an earlier one.
    template<typename Handler, typename Value>
    static void deliver(const std::shared_ptr<Handlers>& all, std::map<Token, Handler> Handlers::*which, Value value)
    {
        const std::map<Token, Handler> pass = (*all).*which;
        for (const auto& [token, handler] : pass) {
            if (((*all).*which).count(token))
                handler(value);
        }
    }

    static void drain(const std::shared_ptr<Connection>& self)
    {
        while (!self->closed && XPending(self->display) > 0) {
            XEvent event;
            XNextEvent(self->display, &event);
            if (event.type != GenericEvent || event.xcookie.extension != self->xiOpcode)
                continue;
            if (!XGetEventData(self->display, &event.xcookie))
                continue;
            const int type = event.xcookie.evtype;
            const int detail = static_cast<const XIRawEvent*>(event.xcookie.data)->detail;
            XFreeEventData(self->display, &event.xcookie);
            const std::shared_ptr<Handlers> handlers = self->handlers.lock();
            if (!handlers)
                return;
            if (type == XI_RawButtonPress && (detail == leftButton || detail == rightButton))
                deliver(handlers, &Handlers::pointer, self->pointerPosition());
            else if (type == XI_RawKeyPress)
                deliver(handlers, &Handlers::key, self->keyOf(detail));
        }
    }
};

X11GlobalInputMonitor::X11GlobalInputMonitor(QString displayName)
    : displayName_(std::move(displayName))
    , handlers_(std::make_shared<Handlers>())
{
}

X11GlobalInputMonitor::~X11GlobalInputMonitor() = default;

std::optional<GlobalInputMonitor::Token> X11GlobalInputMonitor::addPointerPressMonitor(PointerHandler handler)
{
    if (!ensureConnection())
        return std::nullopt;
    const Token token = nextToken_++;
    handlers_->pointer.emplace(token, std::move(handler));
    return token;
}

std::optional<GlobalInputMonitor::Token> X11GlobalInputMonitor::addKeyPressMonitor(KeyHandler handler)
{
    if (!ensureConnection())
        return std::nullopt;
    const Token token = nextToken_++;
    handlers_->key.emplace(token, std::move(handler));
    return token;
}

void X11GlobalInputMonitor::removeMonitor(Token token)
{
    handlers_->pointer.erase(token);
    handlers_->key.erase(token);
    if (connection_ && handlers_->pointer.empty() && handlers_->key.empty()) {
        connection_->closed = true;
        connection_.reset();
    }
}

bool X11GlobalInputMonitor::ensureConnection()
{
    if (connection_)
        return true;
    const QByteArray name = displayName_.toLocal8Bit();
    auto connection = std::make_shared<Connection>();
    connection->handlers = handlers_;
    connection->display = XOpenDisplay(displayName_.isEmpty() ? nullptr : name.constData());
    if (!connection->display)
        return false;
    Display* display = connection->display;
    {
        X11ErrorTrap trap(display);
        int firstEvent = 0;
        int firstError = 0;
        if (!XQueryExtension(display, "XInputExtension", &connection->xiOpcode, &firstEvent, &firstError))
            return false;
        int major = 2;
        int minor = 1;
        if (XIQueryVersion(display, &major, &minor) != Success || major < 2)
            return false;
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> mask{};
        XISetMask(mask.data(), XI_RawButtonPress);
        XISetMask(mask.data(), XI_RawKeyPress);
        XIEventMask eventMask{XIAllMasterDevices, static_cast<int>(mask.size()), mask.data()};
        XISelectEvents(display, DefaultRootWindow(display), &eventMask, 1);
        if (trap.anyFailed())
            return false;
    }
    connection->notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    std::weak_ptr<Connection> weak = connection;
    const auto drain = [weak] {
        if (auto self = weak.lock())
            Connection::drain(self);
    };
    QObject::connect(connection->notifier.get(), &QSocketNotifier::activated, drain);
    // Events Xlib already read while starting wait in its queue, where the
    // socket notifier cannot see them.
    QTimer::singleShot(0, connection->notifier.get(), drain);
    connection_ = std::move(connection);
    return true;
}

} // namespace vellamor::platform
