#include "Platform/Pasteboard/ClipboardLoan.h"

#include <algorithm>

namespace vellamor::platform {

ClipboardLoan::ClipboardLoan(Timing timing, TimePoint now) : timing_(timing), lastActivity_(now), takenAt_(now) {}

void ClipboardLoan::chordSent(std::optional<std::uint32_t> targetClient, TimePoint now,
                              std::chrono::milliseconds fetchLimit)
{
    targetClient_ = targetClient;
    chordAt_ = now;
    fetchLimit_ = fetchLimit;
}

void ClipboardLoan::advance(TimePoint now)
{
    if (phase_ == Phase::lending && requests_ > 0 && transfers_ == 0 && now - lastActivity_ >= timing_.quiet) {
        phase_ = Phase::taken;
        takenAt_ = lastActivity_ + timing_.quiet;
    }
    if (phase_ == Phase::taken && now >= takenAt_ + timing_.grace)
        phase_ = Phase::returned;
}

ClipboardLoan::Phase ClipboardLoan::phase(TimePoint now)
{
    advance(now);
    return phase_;
}

ClipboardLoan::Serve ClipboardLoan::serve(const Request& request, TimePoint now)
{
    advance(now);
    switch (phase_) {
    case Phase::lending:
        if (counts(request)) {
            if (!targetClient_)
                targetClient_ = request.client;
            ++requests_;
            lastActivity_ = now;
        }
        return Serve::text;
    case Phase::taken:
        return !targetClient_ || request.client == *targetClient_ ? Serve::text : Serve::userContents;
    case Phase::kept:
        return Serve::text;
    case Phase::returned:
    case Phase::lost:
        break;
    }
    return Serve::userContents;
}

bool ClipboardLoan::counts(const Request& request) const
{
    // What a manager copies, or anyone reads before the chord, says nothing about the target.
    if (!request.text || request.fromManager || !chordAt_ || phase_ != Phase::lending)
        return false;
    return fetches_ == 0 || !targetClient_ || request.client == *targetClient_;
}

void ClipboardLoan::fetched(TimePoint now)
{
    if (!chordAt_)
        return;
    ++fetches_;
    lastActivity_ = now;
}

void ClipboardLoan::transferStarted(TimePoint now)
{
    ++transfers_;
    lastActivity_ = now;
}

void ClipboardLoan::transferProgressed(TimePoint now)
{
    lastActivity_ = now;
}

void ClipboardLoan::transferEnded(TimePoint now)
{
    transfers_ = std::max(0, transfers_ - 1);
    lastActivity_ = now;
}

void ClipboardLoan::keep()
{
    if (serving())
        phase_ = Phase::kept;
}

void ClipboardLoan::giveBack()
{
    if (serving())
        phase_ = Phase::returned;
}

void ClipboardLoan::lost(bool newOwnerHoldsText, TimePoint now)
{
    advance(now);
    if (!serving())
        return;
    lostBeforeFetch_ = fetches_ == 0;
    phase_ = Phase::lost;
    if (newOwnerHoldsText)
        reclaimAt_ = now + timing_.quiet + timing_.grace;
}

std::optional<LoanProgress> ClipboardLoan::progress(TimePoint now) const
{
    if (fetches_ > 0)
        return LoanProgress::fetched;
    if (lostBeforeFetch_)
        return LoanProgress::lost;
    // A first answer still going out in parts is waited for.
    if (chordAt_ && transfers_ == 0 && now - *chordAt_ >= fetchLimit_)
        return LoanProgress::neverAsked;
    return std::nullopt;
}

std::optional<ClipboardLoan::TimePoint> ClipboardLoan::nextChange() const
{
    switch (phase_) {
    case Phase::lending: {
        if (transfers_ > 0)
            return std::nullopt;
        std::optional<TimePoint> next;
        if (requests_ > 0)
            next = lastActivity_ + timing_.quiet;
        if (fetches_ == 0 && chordAt_)
            next = std::min(next.value_or(TimePoint::max()), *chordAt_ + fetchLimit_);
        return next;
    }
    case Phase::taken:
        return takenAt_ + timing_.grace;
    case Phase::lost:
        return reclaimAt_;
    case Phase::returned:
    case Phase::kept:
        break;
    }
    return std::nullopt;
}

} // namespace vellamor::platform
