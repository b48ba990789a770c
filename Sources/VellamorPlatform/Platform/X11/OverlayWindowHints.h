#pragma once

class QWidget;

namespace vellamor::platform {

// Asks the window manager to leave `window` out of task bars, pagers and
// window switchers. Call it before each show(): a window manager drops the
// request when the window is hidden. Does nothing for a shown window or off X11.
void keepOutOfWindowLists(QWidget& window);

} // namespace vellamor::platform
