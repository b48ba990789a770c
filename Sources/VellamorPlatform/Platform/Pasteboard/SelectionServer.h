#pragma once

#include "Platform/Pasteboard/ClipboardLoan.h"
#include "Platform/Pasteboard/SelectionDisplay.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace vellamor::platform {

// Answers other programs' requests for the selections this process owns:
// TARGETS, TIMESTAMP, MULTIPLE and the contents, a large one in parts (INCR)
// as the requestor takes them, and tells how each reply of a lent text went.
// The broker's thread.
class SelectionServer {
public:
    using TimePoint = SelectionDisplay::TimePoint;

    // The loan a reply tells about, and the request as it was judged.
    struct Tag {
        PasteboardSelection selection = PasteboardSelection::clipboard;
        std::uint64_t loan = 0;
        ClipboardLoan::Request request;
        bool counts = false;
    };
    // What a request gets; no contents where the selection is not served.
    struct Offer {
        const SelectionContents* contents = nullptr;
        xcb_timestamp_t since = XCB_CURRENT_TIME;
        std::optional<Tag> tag;
    };
    enum class Reply { whole, partsStarted, partSent, partsEnded, partsDropped };

    struct Owner {
        virtual ~Owner() = default;
        // What `request` of `selection`, stamped `time`, gets now.
        virtual Offer offer(xcb_atom_t selection, xcb_timestamp_t time, ClipboardLoan::Request request) = 0;
        // A reply of the text that `tag` names went out, or a part of it.
        virtual void replied(const Tag& tag, Reply how) = 0;
    };

    // A transfer in parts whose requestor takes no part for `stalled` is dropped.
    SelectionServer(SelectionDisplay& display, Owner& owner, std::chrono::milliseconds stalled);

    void request(const xcb_selection_request_event_t& request);
    // A requestor took a part: the next one goes out.
    void propertyDeleted(xcb_window_t requestor, xcb_atom_t property);
    // Drops the stalled transfers.
    void tick(TimePoint now);
    std::optional<TimePoint> nextWake() const;

private:
    using Key = std::pair<xcb_window_t, xcb_atom_t>;
    struct Transfer {
        SelectionItem item;
        qsizetype offset = 0;
        TimePoint lastStep;
        std::optional<Tag> tag;
    };

    // Whether the request for `target` was answered; `inParts` once a transfer began.
    bool answer(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target, const Offer& offer, bool& inParts);
    // The (target, property) pairs of a MULTIPLE request, with the property's type.
    std::optional<std::pair<std::vector<xcb_atom_t>, xcb_atom_t>> pairsOf(xcb_window_t requestor,
                                                                          xcb_atom_t property);
    void notify(const xcb_selection_request_event_t& request, xcb_atom_t property);
    void finish(std::map<Key, Transfer>::iterator transfer, bool whole);
    // The requestor's property changes are followed while any transfer to it runs.
    void watch(xcb_window_t requestor);
    void unwatch(xcb_window_t requestor);

    SelectionDisplay& display_;
    Owner& owner_;
    std::chrono::milliseconds stalled_;
    std::map<Key, Transfer> transfers_;
    std::map<xcb_window_t, int> watched_;
};

} // namespace vellamor::platform
