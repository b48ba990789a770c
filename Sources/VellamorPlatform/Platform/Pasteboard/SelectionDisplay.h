#pragma once

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include <xcb/xcb.h>

namespace vellamor::platform {

// One target's data as its owner typed it.
struct SelectionItem {
    xcb_atom_t target = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    uint8_t format = 8;
    QByteArray data;
};
using SelectionContents = std::vector<SelectionItem>;

// The selection broker's own X connection: its window, names, owners, the
// server's time, and waiting for an event while every other one is handled.
// One thread.
class SelectionDisplay {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Wanted = std::function<bool(const xcb_generic_event_t*)>;

    // What the connection's other events go to, and what wakes it besides them.
    struct Handler {
        virtual ~Handler() = default;
        virtual void dispatch(const xcb_generic_event_t* event) = 0;
        // Called after each round of events, with the time.
        virtual void tick(TimePoint now) = 0;
        // The next moment tick() has something to do by the clock alone.
        virtual std::optional<TimePoint> nextWake() const = 0;
    };

    // Connects to $DISPLAY; see connected().
    SelectionDisplay();
    ~SelectionDisplay();

    SelectionDisplay(const SelectionDisplay&) = delete;
    SelectionDisplay& operator=(const SelectionDisplay&) = delete;

    bool connected() const;
    bool failed() const;
    void setHandler(Handler* handler) { handler_ = handler; }
    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t window() const { return window_; }
    // The largest property this connection writes at once.
    qsizetype chunk() const { return chunk_; }
    // The first event code of XFIXES; none without the extension.
    std::optional<uint8_t> fixesEvent() const { return fixesEvent_; }
    int fileDescriptor() const;

    xcb_atom_t atom(const QByteArray& name);
    QByteArray nameOf(xcb_atom_t value);
    xcb_window_t ownerOf(xcb_atom_t selection);
    uint32_t clientOf(xcb_window_t window) const { return window & ~clientMask_; }
    // The client of the window the window manager calls active; none without one.
    std::optional<uint32_t> activeClient();
    // A timestamp of the server's, for requests that ICCCM wants stamped:
    // some clients refuse a selection taken at CurrentTime.
    xcb_timestamp_t serverTime();
    // Takes `selection` for this window at `time`; whether it now owns it.
    bool take(xcb_atom_t selection, xcb_timestamp_t time);
    // Asks for ownership changes of `selection` (XFIXES), where the server can tell.
    void watchOwner(xcb_atom_t selection);

    // Handles every event that has come in; returns the first one `wanted`
    // takes (the caller frees it), leaving the rest queued.
    xcb_generic_event_t* drain(const Wanted& wanted);
    // Waits for an event `wanted` takes until `deadline`, handling the others
    // meanwhile; none on time out, a broken connection, or once `cutFd`
    // (where given) is readable.
    xcb_generic_event_t* waitFor(const Wanted& wanted, TimePoint deadline, int cutFd = -1);
    // Waits for the connection, and `extraFd` where given, until `deadline`
    // or the handler's next wake-up; whether `extraFd` became readable.
    bool poll(std::optional<TimePoint> deadline, int extraFd = -1);

    static uint8_t typeOf(const xcb_generic_event_t* event) { return event->response_type & 0x7f; }
    static bool isSelectionNotify(const xcb_generic_event_t* event, xcb_window_t requestor, xcb_atom_t selection,
                                  xcb_atom_t target);
    static bool isPropertyNotify(const xcb_generic_event_t* event, xcb_window_t window, xcb_atom_t property,
                                 uint8_t state);

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    uint32_t clientMask_ = 0;
    qsizetype chunk_ = 0;
    std::optional<uint8_t> fixesEvent_;
    std::map<QByteArray, xcb_atom_t> atoms_;
    std::map<xcb_atom_t, QByteArray> names_;
    Handler* handler_ = nullptr;
};

// A reply of the server's, freed with it.
template<typename T>
struct XcbReply {
    T* reply;
    explicit XcbReply(T* r) : reply(r) {}
    ~XcbReply() { free(reply); }
    XcbReply(const XcbReply&) = delete;
    XcbReply& operator=(const XcbReply&) = delete;
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace vellamor::platform
