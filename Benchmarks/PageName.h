#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Xlib's macros clash with Qt's names: include this after Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vellamor::benchmark
{

// The text the page last put in the name of `window`, past "[<field>]"; what
// the browser adds after the page's title stays.
class PageName
{
public:
    PageName()
        : display_(XOpenDisplay(nullptr))
    {
    }
    ~PageName()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    PageName(const PageName&) = delete;
    PageName& operator=(const PageName&) = delete;

    std::optional<QString> text(Window window)
    {
        if (!display_)
            return std::nullopt;
        const Atom name = XInternAtom(display_, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        std::optional<QString> result;
        if (XGetWindowProperty(
                display_, window, name, 0, 1 << 16, False, utf8, &type, &format, &count, &remaining, &data)
                == Success
            && data) {
            const auto bytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
            result = QString::fromUtf8(bytes).section(u']', 1); // past "[<field>]"
            XFree(data);
        }
        return result;
    }

private:
    Display* display_;
};

} // namespace vellamor::benchmark
