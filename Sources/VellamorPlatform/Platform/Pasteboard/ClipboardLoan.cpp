#include "Platform/Pasteboard/ClipboardLoan.h"

#include <algorithm>

namespace vellamor::platform {

ClipboardLoan::ClipboardLoan(Timing timing, TimePoint now) : timing_(timing), lastActivity_(now), takenAt_(now) {}

void ClipboardLoan::chordSent(std::optional<Client> targetClient, TimePoint now, std::chrono::milliseconds fetchLimit)
{
    targetClient_ = targetClient;
    chordAt_ = now;
    fetchLimit_ = fetchLimit;
}

void ClipboardLoan::activity(TimePoint now)
{
    asked_ = true;
    lastActivity_ = std::max(lastActivity_, now);
}

void ClipboardLoan::advance(TimePoint now)
{
    // The target said nothing within the limit while another client fetched
    // the text: that may have been the target over a connection of its own.
    if (phase_ == Phase::lending && fetches_ == 0 && !credited_ && otherFetched_ && transfers_ == 0
        && pastLimit(now)) {
        credited_ = true;
        firstFetchAt_ = *chordAt_ + fetchLimit_;
        activity(*firstFetchAt_);
    }
    if (phase_ == Phase::lending && asked_ && transfers_ == 0 && now - lastActivity_ >= timing_.quiet) {
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
            activity(now);
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
    return !targetClient_ || request.client == *targetClient_;
}

bool ClipboardLoan::fromTarget(const Request& request) const
{
    return request.text && !request.fromManager && targetClient_ && request.client == *targetClient_;
}

void ClipboardLoan::fetched(const Request& request, TimePoint now)
{
    if (!chordAt_ || phase_ != Phase::lending || !request.text || request.fromManager)
        return;
    if (!fromTarget(request)) {
        otherFetched_ = true;
        return;
    }
    ++fetches_;
    if (!firstFetchAt_)
        firstFetchAt_ = now;
    activity(now);
}

void ClipboardLoan::transferStarted(TimePoint now)
{
    ++transfers_;
    activity(now);
}

void ClipboardLoan::transferProgressed(TimePoint now)
{
    activity(now);
}

void ClipboardLoan::transferEnded(bool whole, TimePoint now)
{
    transfers_ = std::max(0, transfers_ - 1);
    activity(now);
    if (whole && chordAt_ && phase_ == Phase::lending) {
        ++fetches_;
        if (!firstFetchAt_)
            firstFetchAt_ = now;
    }
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

void ClipboardLoan::userPasted(TimePoint now)
{
    advance(now);
    if (serving() && firstFetchAt_ && now - *firstFetchAt_ >= timing_.ownChordEcho)
        phase_ = Phase::returned;
}

void ClipboardLoan::lost(bool toReowningManager, TimePoint now)
{
    advance(now);
    if (!serving())
        return;
    if (fetches_ == 0 && !credited_)
        lostAs_ = toReowningManager ? LoanProgress::unconfirmed : LoanProgress::displaced;
    phase_ = Phase::lost;
    if (toReowningManager)
        reclaimAt_ = now + timing_.quiet + timing_.grace;
}

std::optional<LoanProgress> ClipboardLoan::progress(TimePoint now) const
{
    if (fetches_ > 0)
        return LoanProgress::fetched;
    if (credited_)
        return LoanProgress::unconfirmed;
    if (lostAs_)
        return lostAs_;
    // A first answer still going out in parts is waited for.
    if (transfers_ == 0 && pastLimit(now))
        return otherFetched_ ? LoanProgress::unconfirmed : LoanProgress::neverAsked;
    return std::nullopt;
}

std::optional<ClipboardLoan::TimePoint> ClipboardLoan::nextChange() const
{
    switch (phase_) {
    case Phase::lending: {
        if (transfers_ > 0)
            return std::nullopt;
        std::optional<TimePoint> next;
        if (asked_)
            next = lastActivity_ + timing_.quiet;
        if (fetches_ == 0 && !credited_ && chordAt_)
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
