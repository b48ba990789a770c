#pragma once

class QWidget;

namespace vellamor::platform {

// Shows `window` (if hidden) left out of task bars, pagers and window
// switchers, and kept on top when it asks to stay there. Off X11 it only
// shows it.
void showOutOfWindowLists(QWidget& window);

} // namespace vellamor::platform
