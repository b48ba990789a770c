#pragma once

namespace vellamor {

// Hands back to the system the heap's free pages, Qt's pixmap cache and,
// while no window but the tray's icon is visible, the font engines. For the
// moments an app that sits in the tray all day stops showing anything: a
// window released, the island hidden, the guide closed.
void returnFreedMemory();

} // namespace vellamor
