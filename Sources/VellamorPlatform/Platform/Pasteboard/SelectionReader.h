#pragma once

#include "Platform/Pasteboard/SelectionDisplay.h"

#include <chrono>
#include <optional>

namespace vellamor::platform {

// Reads what another program holds on a selection, worth keeping to put back
// later, with deadlines: an owner may be stopped, or encode an image anew for
// each request. Each read asks into a property of its own, so that a late
// answer to an earlier read is never taken for this one's. Every other event
// is handled meanwhile. The broker's thread.
class SelectionReader {
public:
    struct Limits {
        // One step: the owner's answer, or a transfer's next part.
        std::chrono::milliseconds step{2500};
        // Everything the owner holds.
        std::chrono::milliseconds whole{5000};
    };

    // A read stops at once when `cutFd` is readable (the application quits).
    SelectionReader(SelectionDisplay& display, Limits limits, int cutFd);

    // None when the owner did not answer in time, or the read was cut short.
    std::optional<SelectionContents> readAll(xcb_atom_t selection);
    bool cutShort() const;

private:
    using Answer = std::optional<std::optional<SelectionItem>>;

    // None when it did not answer in time (or the connection failed), an
    // empty optional when it refused.
    Answer convert(xcb_atom_t selection, xcb_atom_t target, xcb_timestamp_t time,
                   SelectionDisplay::TimePoint deadline);
    Answer readInParts(xcb_atom_t property, SelectionItem item, SelectionDisplay::TimePoint deadline);
    xcb_generic_event_t* waitFor(const SelectionDisplay::Wanted& wanted, SelectionDisplay::TimePoint deadline);
    // Reads and deletes a property of this process's window.
    std::optional<SelectionItem> takeProperty(xcb_atom_t property);
    xcb_atom_t nextProperty();

    SelectionDisplay& display_;
    Limits limits_;
    int cutFd_;
    unsigned reads_ = 0;
};

} // namespace vellamor::platform
