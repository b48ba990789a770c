#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>
#include <vector>

#include <xcb/xcb.h>

namespace vellamor::test {

// A pasting application of the test's own: a window the root names active
// (_NET_ACTIVE_WINDOW), so the clipboard's owner takes it for the target, and
// that reads a selection as applications do: one target, or several at once
// through MULTIPLE, large ones in parts as they come.
class SelectionRequestor {
public:
    SelectionRequestor();
    ~SelectionRequestor();

    SelectionRequestor(const SelectionRequestor&) = delete;
    SelectionRequestor& operator=(const SelectionRequestor&) = delete;

    // The data of each of `targets`, in order; none when the owner refused
    // one or did not finish within `limit`. Stamped with `time`, as a paste
    // is with its key's time.
    std::optional<std::vector<QByteArray>> read(const QByteArray& selection, const std::vector<QByteArray>& targets,
                                                bool multiple, std::chrono::milliseconds limit = std::chrono::seconds(30),
                                                xcb_timestamp_t time = XCB_CURRENT_TIME);
    // The X server's time now.
    xcb_timestamp_t serverTime();
    // From now on, notes each time `selection` is taken (also by its owner
    // anew); waits for the next one. Another call of this class meanwhile
    // may miss it.
    void watchOwner(const QByteArray& selection);
    bool waitForOwnerChange(std::chrono::milliseconds limit = std::chrono::seconds(30));

private:
    xcb_atom_t atom(const QByteArray& name);
    // Reads and deletes one of the window's properties; none when it is gone.
    std::optional<std::pair<xcb_atom_t, QByteArray>> take(xcb_atom_t property);
    xcb_generic_event_t* waitFor(uint8_t type, std::chrono::steady_clock::time_point deadline);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    uint8_t fixesEvent_ = 0;
};

} // namespace vellamor::test
