#pragma once

#include <QWidget>

namespace vellamor {

// Marks `window`, whose size never changes, as having a title and a close
// button only: the window manager is asked for no minimise or maximise. The
// window keeps its type, so a dialog stays a dialog and a top-level window
// keeps its place in the taskbar.
inline void setFixedDialogFrame(QWidget& window)
{
    window.setWindowFlags(
        window.windowType() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

} // namespace vellamor
