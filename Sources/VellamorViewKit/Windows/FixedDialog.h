#pragma once

#include <QWidget>

namespace vellamor {

// Marks `dialog`, whose size never changes, as a dialog with a title and a
// close button only: the window manager offers no minimise or maximise.
inline void setFixedDialogFrame(QWidget& dialog)
{
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

} // namespace vellamor
