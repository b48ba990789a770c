#include "Platform/ActiveWindow/X11ActiveWindowReader.h"

#include "Platform/X11/X11ErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <deque>
#include <utility>

namespace vellamor::platform {

namespace {

class DisplayConnection {
public:
    explicit DisplayConnection(const QByteArray& name)
        : display_(XOpenDisplay(name.isEmpty() ? nullptr : name.constData()))
    {
    }
    ~DisplayConnection()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;

    Display* get() const { return display_; }

private:
    Display* display_;
};

Atom atom(Display* display, const char* name)
{
    return XInternAtom(display, name, False);
}

// The property's bytes, or none when the window lacks it (or is gone).
std::optional<QByteArray> property(Display* display, Window window, Atom name, Atom type, int format)
{
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, name, 0, 1024, False, type, &actualType, &actualFormat,
                                          &count, &remaining, &data);
    std::optional<QByteArray> result;
    if (status == Success && actualType != None && actualFormat == format && data) {
        // Format 32 items are longs in Xlib's memory, whatever their width on the wire.
        const auto itemSize = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
        result = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count * itemSize));
    }
    if (data)
        XFree(data);
    return result;
}

QString utf8Property(Display* display, Window window, const char* name)
{
    const auto bytes = property(display, window, atom(display, name), atom(display, "UTF8_STRING"), 8);
    return bytes ? QString::fromUtf8(*bytes).trimmed() : QString();
}

bool isClientWindow(Display* display, Window window)
{
    const Atom wmState = atom(display, "WM_STATE");
    return property(display, window, wmState, wmState, 32).has_value();
}

std::optional<Window> parentOf(Display* display, Window window, Window* root)
{
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, root, &parent, &children, &count))
        return std::nullopt;
    if (children)
        XFree(children);
    return parent;
}

// The window carrying WM_STATE below `top` (the window manager's frame).
std::optional<Window> clientBelow(Display* display, Window top)
{
    std::deque<Window> queue {top};
    int visited = 0;
    while (!queue.empty() && visited < 256) {
        const Window window = queue.front();
        queue.pop_front();
        ++visited;
        if (isClientWindow(display, window))
            return window;
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            continue;
        for (unsigned int i = 0; i < count; ++i)
            queue.push_back(children[i]);
        if (children)
            XFree(children);
    }
    return std::nullopt;
}

// From the focus window up to the application window that holds it.
std::optional<Window> clientHoldingFocus(Display* display)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display))
        return std::nullopt;
    Window window = focus;
    Window top = focus;
    for (int depth = 0; depth < 64; ++depth) {
        if (isClientWindow(display, window))
            return window;
        Window root = None;
        const auto parent = parentOf(display, window, &root);
        if (!parent || *parent == None || window == root)
            break;
        if (*parent == root) {
            top = window;
            break;
        }
        window = *parent;
    }
    if (auto client = clientBelow(display, top))
        return client;
    return top;
}

std::optional<Window> activeClient(Display* display)
{
    const auto active = property(display, DefaultRootWindow(display), atom(display, "_NET_ACTIVE_WINDOW"), XA_WINDOW, 32);
    if (active && active->size() >= static_cast<qsizetype>(sizeof(long))) {
        const auto window = static_cast<Window>(*reinterpret_cast<const long*>(active->constData()));
        if (window != None)
            return window;
    }
    return clientHoldingFocus(display);
}

} // namespace

X11ActiveWindowReader::X11ActiveWindowReader(QByteArray displayName)
    : displayName_(std::move(displayName))
{
}

std::optional<WindowIdentity> X11ActiveWindowReader::activeWindow()
{
    DisplayConnection connection(displayName_);
    Display* display = connection.get();
    if (!display)
        return std::nullopt;
    // The window may close while we read it.
    X11ErrorTrap trap(display);
    const std::optional<Window> window = activeClient(display);
    if (!window)
        return std::nullopt;

    WindowIdentity identity;
    identity.gtkApplicationId = utf8Property(display, *window, "_GTK_APPLICATION_ID");
    identity.kdeDesktopFile = utf8Property(display, *window, "_KDE_NET_WM_DESKTOP_FILE");
    XClassHint hint {nullptr, nullptr};
    if (XGetClassHint(display, *window, &hint)) {
        identity.wmClassInstance = QString::fromLocal8Bit(hint.res_name).trimmed();
        identity.wmClassName = QString::fromLocal8Bit(hint.res_class).trimmed();
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    if (trap.anyFailed())
        return std::nullopt;
    return identity;
}

} // namespace vellamor::platform
