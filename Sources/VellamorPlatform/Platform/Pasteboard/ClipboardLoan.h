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
// Once its requests have gone quiet the target has taken it; its own client
// (a busy browser asks again) still gets the text for a grace period, and
// anyone else (a clipboard manager, another application) the user's
// contents, which then serve everyone. Plain logic, on the caller's clock.
class ClipboardLoan {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    struct Timing {
        // Requests quiet this long, with no transfer in parts under way: the
        // target has taken the text. Chromium asks at once and again when the
        // page is next free, about 1.4 s later on a page busy 1.5 s of 1.6.
        std::chrono::milliseconds quiet{1500};
        // After that its own client still gets the text this long: a loaded
        // browser asked again more than 1.5 s after its first request.
        std::chrono::milliseconds grace{5000};
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
        std::uint32_t client = 0;
        // For the text itself, not TARGETS, TIMESTAMP and the like.
        bool text = false;
        // From the clipboard manager, which copies every change.
        bool fromManager = false;
    };

    ClipboardLoan(Timing timing, TimePoint now);

    // `targetClient` is the active window's client; without a window manager
    // naming it, the first client to ask counts as the target's.
    void chordSent(std::optional<std::uint32_t> targetClient, TimePoint now, std::chrono::milliseconds fetchLimit);
    Serve serve(const Request& request, TimePoint now);
    // Whether `request` tells that the target is still taking the text: a
    // request for it after the chord, not from the manager; once the text
    // has been fetched, only from the target's client (a program polling the
    // clipboard would otherwise hold the loan open).
    bool counts(const Request& request) const;
    // A reply to a request that counts went out whole.
    void fetched(TimePoint now);
    void transferStarted(TimePoint now);
    void transferProgressed(TimePoint now);
    void transferEnded(TimePoint now);
    void keep();
    void giveBack();
    // Another program owns the selection now. Where it holds the text (a
    // manager that copies and re-owns every change) the user's contents
    // are put back once the target would have had its time.
    void lost(bool newOwnerHoldsText, TimePoint now);

    // The phase at `now`, moving on by the clock.
    Phase phase(TimePoint now);
    // What the paste waits for: none while it cannot yet tell.
    std::optional<LoanProgress> progress(TimePoint now) const;
    // When the user's contents are to be put back after a loss; none if never.
    std::optional<TimePoint> reclaimAt() const { return reclaimAt_; }
    // The next moment the phase or the progress may change by the clock alone.
    std::optional<TimePoint> nextChange() const;

private:
    bool serving() const { return phase_ == Phase::lending || phase_ == Phase::taken; }
    void advance(TimePoint now);

    Timing timing_;
    Phase phase_ = Phase::lending;
    std::optional<std::uint32_t> targetClient_;
    std::optional<TimePoint> chordAt_;
    std::chrono::milliseconds fetchLimit_{0};
    int requests_ = 0;
    int fetches_ = 0;
    int transfers_ = 0;
    bool lostBeforeFetch_ = false;
    TimePoint lastActivity_;
    TimePoint takenAt_;
    std::optional<TimePoint> reclaimAt_;
};

} // namespace vellamor::platform
