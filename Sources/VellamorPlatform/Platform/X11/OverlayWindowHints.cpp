#include "Platform/X11/OverlayWindowHints.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <array>

namespace vellamor::platform {

void keepOutOfWindowLists(QWidget& window)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // A shown window's states belong to the window manager.
    if (!x11 || !x11->display() || window.isVisible())
        return;
    Display* display = x11->display();
    // Qt adds its own states (stay on top) to these when it maps the window.
    std::array<Atom, 2> states {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                                XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
    XChangeProperty(display, static_cast<Window>(window.winId()), XInternAtom(display, "_NET_WM_STATE", False),
                    XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(states.data()),
                    static_cast<int>(states.size()));
    XFlush(display);
}

} // namespace vellamor::platform
