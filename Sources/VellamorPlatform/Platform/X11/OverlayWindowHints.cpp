#include "Platform/X11/OverlayWindowHints.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <array>

namespace vellamor::platform {

namespace {

// The window manager reads these when it takes the window on; Qt adds its
// own (stay on top) when it maps it.
void writeStatesBeforeMap(Display* display, Window window, Atom netWmState, const std::array<Atom, 2>& states)
{
    XChangeProperty(display, window, netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
}

// How a mapped window asks for states: the window manager handles it after
// the map, so also after a late release of the window's last mapping, which
// clears the states the window carried.
void askForStates(Display* display, Window window, Atom netWmState, Atom first, Atom second)
{
    constexpr long add = 1;
    constexpr long fromAnApplication = 1;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = netWmState;
    event.xclient.format = 32;
    event.xclient.data.l[0] = add;
    event.xclient.data.l[1] = static_cast<long>(first);
    event.xclient.data.l[2] = static_cast<long>(second);
    event.xclient.data.l[3] = fromAnApplication;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

} // namespace

void showOutOfWindowLists(QWidget& window)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display() || window.isVisible()) {
        window.show();
        return;
    }
    Display* display = x11->display();
    const auto id = static_cast<Window>(window.winId());
    const Atom netWmState = XInternAtom(display, "_NET_WM_STATE", False);
    const std::array<Atom, 2> skipLists {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                                         XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
    writeStatesBeforeMap(display, id, netWmState, skipLists);
    XFlush(display);
    window.show();
    askForStates(display, id, netWmState, skipLists[0], skipLists[1]);
    if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        askForStates(display, id, netWmState, XInternAtom(display, "_NET_WM_STATE_ABOVE", False), None);
    XFlush(display);
}

} // namespace vellamor::platform
