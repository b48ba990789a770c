#pragma once

#include "Platform/Pasteboard/Pasteboard.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace vellamor::platform {

// Decides, for a text lent to a selection, who gets the text and who the
// user's earlier contents, and when the loan is over. A chord once sent may
// be acted on much later by a busy target, so nothing here goes by the clock
// alone until the target has asked: before that every request gets the text.
// Only the target's own client tells that it has taken the text (programs
// polling the clipboard read it too); once its requests have gone quiet, it
// still gets the text for a grace period, for a second ask of the same
// chord, and anyone else (a clipboard manager, another application) the
// user's contents, which then serve everyone. A paste chord the user presses
// after the target has fetched ends the grace. Plain logic, on the caller's
// clock.
class ClipboardLoan {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Client = std::uint32_t;

    struct Timing {
        // Requests quiet this long, with no transfer in parts under way: the
        // target has taken the text. Chromium asks at once and again when the
        // page is next free, about 1.4 s later on a page busy 1.5 s of 1.6.
        std::chrono::milliseconds quiet{1500};
        // After that its own client still gets the text this long: a loaded
        // browser asked again more than 1.5 s after its first request.
        std::chrono::milliseconds grace{5000};
        // A paste chord seen this soon after the first fetch may be the
        // app's own, read late on a loaded machine; nobody pastes by hand
        // that fast after seeing the text arrive.
        std::chrono::milliseconds ownChordEcho{300};
    };

    enum class Phase {
        lending,  // every request gets the text
        taken,    // the target's client gets the text, others the user's contents
        returned, // the user's contents serve everyone
        kept,     // the text stays; the user's contents are dropped
        lost,     // another program took the selection
    };
    enum class Serve { text, userContents };

    struct Request {
        // The requesting X client (windows of one client share it).
        Client client = 0;
        // For the text itself, not TARGETS, TIMESTAMP and the like.
        bool text = false;
        // From the clipboard manager, which copies every change.
        bool fromManager = false;
    };

    ClipboardLoan(Timing timing, TimePoint now);

    // `targetClient` is the active window's client; without a window manager
    // naming it, the first client to ask counts as the target's.
    void chordSent(std::optional<Client> targetClient, TimePoint now, std::chrono::milliseconds fetchLimit);
    Serve serve(const Request& request, TimePoint now);
    // Whether `request` tells that the target is taking the text: a request
    // for it after the chord, from the target's client (the first to ask
    // where none is named), never from the manager.
    bool counts(const Request& request) const;
    // A reply to `request` went out whole.
    void fetched(const Request& request, TimePoint now);
    // A reply that counts goes out in parts.
    void transferStarted(TimePoint now);
    void transferProgressed(TimePoint now);
    void transferEnded(bool whole, TimePoint now);
    void keep();
    void giveBack();
    void userPasted(TimePoint now);
    // Another program owns the selection now. A clipboard manager that
    // re-owns the text gets the user's contents back once the target would
    // have had its time; any other new owner is the user's copy and keeps it.
    void lost(bool toReowningManager, TimePoint now);

    // The phase at `now`, moving on by the clock.
    Phase phase(TimePoint now);
    // What the paste waits for: none while it cannot yet tell.
    std::optional<LoanProgress> progress(TimePoint now) const;
    // When the user's contents are to be put back after a loss; none if never.
    std::optional<TimePoint> reclaimAt() const { return reclaimAt_; }
    // The next moment the phase or the progress may change by the clock alone.
    std::optional<TimePoint> nextChange() const;
    std::optional<Client> targetClient() const { return targetClient_; }

private:
    bool serving() const { return phase_ == Phase::lending || phase_ == Phase::taken; }
    bool pastLimit(TimePoint now) const { return chordAt_ && now - *chordAt_ >= fetchLimit_; }
    bool fromTarget(const Request& request) const;
    void advance(TimePoint now);
    void activity(TimePoint now);

    Timing timing_;
    Phase phase_ = Phase::lending;
    std::optional<Client> targetClient_;
    std::optional<TimePoint> chordAt_;
    std::chrono::milliseconds fetchLimit_{0};
    // A request that counts came: the quiet time runs from the last.
    bool asked_ = false;
    // Whole answers to the target's client.
    int fetches_ = 0;
    std::optional<TimePoint> firstFetchAt_;
    // Another client's whole answer, counted for the target only once the
    // limit has passed without one from it.
    bool otherFetched_ = false;
    bool credited_ = false;
    int transfers_ = 0;
    std::optional<LoanProgress> lostAs_;
    TimePoint lastActivity_;
    TimePoint takenAt_;
    std::optional<TimePoint> reclaimAt_;
};

} // namespace vellamor::platform
