#pragma once

#include "Platform/Pasteboard/ClipboardLoan.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace vellamor::platform {

struct SelectionLedgerTiming {
    ClipboardLoan::Timing loan;
    // A new owner that read the text from this process this shortly before it
    // took the selection copied it: a clipboard manager that re-owns every
    // change, not the user.
    std::chrono::milliseconds reownWindow{1000};
};

// One selection as this process keeps it: whether it owns it, what it
// serves, the text lent on it, and when whose contents go back. The
// selection broker drives it from the display's events and the tests' double
// from their script; both carry out what it asks for. A loan is named by its
// id wherever it crosses a wait or a thread: the ledger may have ended it
// meanwhile. Plain logic, on the caller's clock.
template<typename Contents>
class SelectionLedger {
public:
    using TimePoint = ClipboardLoan::TimePoint;
    using Client = ClipboardLoan::Client;
    using Window = std::uint32_t;
    using LoanId = std::uint64_t;

    using Timing = SelectionLedgerTiming;

    // Take the selection with `contents`: while this process still owns it,
    // or, with `from`, while that window does; not once the selection has
    // been lent or replaced since it was asked for.
    struct Take {
        Contents contents;
        std::optional<Window> from;
        std::uint64_t epoch = 0;
    };
    // What a request gets, and the loan it tells about.
    struct Served {
        const Contents* contents = nullptr;
        std::optional<LoanId> loan;
        bool counts = false;
    };

    explicit SelectionLedger(Timing timing = {}) : timing_(timing) {}

    bool owned() const { return owned_; }
    bool lending() const { return loan_.has_value(); }
    // What everyone gets while no loan decides.
    const Contents& served() const { return served_; }
    bool stillWanted(const Take& take) const { return take.epoch == epoch_; }

    // The user's contents this process still has for a new loan (none inside
    // where they could not be read); none where they must be read from
    // `owner`, the selection's owner now.
    std::optional<std::optional<Contents>> heldUserContents(Window owner) const
    {
        if (owned_)
            return loan_ ? loan_->user : std::optional<Contents>(served_);
        // A manager holds the last text lent; the user's own contents are ours still.
        if (loan_ && loan_->lostTo == owner && loan_->logic.reclaimAt())
            return loan_->user;
        return std::nullopt;
    }

    // This process took the selection with `text`, lent over `user`.
    LoanId lend(Contents text, std::optional<Contents> user, TimePoint now)
    {
        endLoan();
        returned_.reset();
        ++epoch_;
        owned_ = true;
        served_ = {};
        loan_ = Loan{++lastId_, ClipboardLoan(timing_.loan, now), std::move(text), std::move(user), false, {}, {}};
        return lastId_;
    }

    // This process took the selection with `contents` for everyone.
    void replace(Contents contents)
    {
        endLoan();
        returned_.reset();
        ++epoch_;
        owns(std::move(contents));
    }

    // A take asked for went through.
    void owns(Contents contents)
    {
        owned_ = true;
        served_ = std::move(contents);
    }

    void chordSent(LoanId id, std::optional<Client> target, TimePoint now, std::chrono::milliseconds limit)
    {
        if (Loan* loan = find(id))
            loan->logic.chordSent(target, now, limit);
    }

    void awaitFetch(LoanId id, TimePoint now)
    {
        Loan* loan = find(id);
        if (!loan) {
            actions_.answers.emplace_back(id, LoanProgress::displaced);
            return;
        }
        loan->awaited = true;
        settle(now);
    }

    Served request(const ClipboardLoan::Request& request, TimePoint now)
    {
        settle(now);
        if (!owned_)
            return {};
        if (!loan_)
            return {&served_, std::nullopt, false};
        Loan& loan = *loan_;
        const bool counts = loan.logic.counts(request);
        // Where the user's contents could not be read the text is all there is.
        const bool text = loan.logic.serve(request, now) == ClipboardLoan::Serve::text || !loan.user;
        if (text && request.text)
            loan.readers[request.client] = now;
        return {text ? &loan.text : &*loan.user, loan.id, counts};
    }

    // A reply to `request` went out whole.
    void answered(LoanId id, const ClipboardLoan::Request& request, TimePoint now)
    {
        if (Loan* loan = find(id)) {
            loan->logic.fetched(request, now);
            settle(now);
        }
    }

    void transferStarted(LoanId id, TimePoint now)
    {
        if (Loan* loan = find(id))
            loan->logic.transferStarted(now);
    }

    void transferProgressed(LoanId id, TimePoint now)
    {
        if (Loan* loan = find(id))
            loan->logic.transferProgressed(now);
    }

    void transferEnded(LoanId id, bool whole, TimePoint now)
    {
        if (Loan* loan = find(id)) {
            loan->logic.transferEnded(whole, now);
            settle(now);
        }
    }

    void keep(LoanId id, TimePoint now)
    {
        if (Loan* loan = find(id)) {
            loan->logic.keep();
            settle(now);
        }
    }

    void giveBack(LoanId id, TimePoint now)
    {
        if (Loan* loan = find(id)) {
            loan->logic.giveBack();
            settle(now);
        }
    }

    void userPasted(TimePoint now)
    {
        if (loan_) {
            loan_->logic.userPasted(now);
            settle(now);
        }
    }

    // `window` of `client` took the selection; `manager` when that client
    // owns the clipboard manager's selection.
    void cleared(Window window, Client client, bool manager, TimePoint now)
    {
        settle(now);
        owned_ = false;
        served_ = {};
        if (loan_) {
            const bool reowner = manager || readJustBefore(loan_->readers, loan_->logic.targetClient(), client, now);
            loan_->lostTo = window;
            loan_->logic.lost(reowner, now);
            settle(now);
        } else if (returned_ && readJustBefore(returned_->readers, returned_->target, client, now)) {
            // A manager copied the text just before the user's contents came back.
            actions_.take = Take{std::move(returned_->user), window, epoch_};
        }
        returned_.reset();
    }

    // At quit: what is to stay on the selection once this process is gone.
    void finish(TimePoint now)
    {
        settle(now);
        if (!loan_ || !loan_->user)
            return;
        if (owned_)
            actions_.take = Take{*loan_->user, std::nullopt, epoch_};
        else if (loan_->logic.reclaimAt())
            actions_.take = Take{*loan_->user, loan_->lostTo, epoch_};
        endLoan();
    }

    // Moves the loan on by the clock.
    void settle(TimePoint now)
    {
        if (!loan_)
            return;
        Loan& loan = *loan_;
        const ClipboardLoan::Phase phase = loan.logic.phase(now);
        if (loan.awaited) {
            if (const auto progress = loan.logic.progress(now)) {
                actions_.answers.emplace_back(loan.id, *progress);
                loan.awaited = false;
            }
        }
        switch (phase) {
        case ClipboardLoan::Phase::returned:
            if (!loan.user) {
                served_ = std::move(loan.text);
            } else {
                served_ = *loan.user;
                returned_ = Returned{std::move(loan.readers), loan.logic.targetClient(), std::move(*loan.user)};
                // Taken anew: clipboard managers read a selection when it
                // changes hands, and keep the user's contents, not the text.
                if (owned_)
                    actions_.take = Take{served_, std::nullopt, epoch_};
            }
            endLoan();
            break;
        case ClipboardLoan::Phase::kept:
            served_ = std::move(loan.text);
            endLoan();
            break;
        case ClipboardLoan::Phase::lost:
            if (!loan.logic.reclaimAt() || !loan.user) {
                endLoan();
            } else if (now >= *loan.logic.reclaimAt()) {
                actions_.take = Take{std::move(*loan.user), loan.lostTo, epoch_};
                endLoan();
            }
            break;
        case ClipboardLoan::Phase::lending:
        case ClipboardLoan::Phase::taken:
            break;
        }
    }

    // What the owner is to do, once: the answers for the pastes waiting, in
    // order, then a take.
    std::vector<std::pair<LoanId, LoanProgress>> takeAnswers() { return std::exchange(actions_.answers, {}); }
    std::optional<Take> takeTake() { return std::exchange(actions_.take, std::nullopt); }

    std::optional<TimePoint> nextChange() const { return loan_ ? loan_->logic.nextChange() : std::nullopt; }

private:
    struct Loan {
        LoanId id = 0;
        ClipboardLoan logic;
        Contents text;
        // None where they could not be read.
        std::optional<Contents> user;
        bool awaited = false;
        std::optional<Window> lostTo;
        // When each client last got the text.
        std::map<Client, TimePoint> readers;
    };
    // The last loan whose user's contents came back.
    struct Returned {
        std::map<Client, TimePoint> readers;
        std::optional<Client> target;
        Contents user;
    };
    struct Actions {
        std::vector<std::pair<LoanId, LoanProgress>> answers;
        std::optional<Take> take;
    };

    Loan* find(LoanId id) { return loan_ && loan_->id == id ? &*loan_ : nullptr; }

    // A paste still waiting is told the selection went to someone else.
    void endLoan()
    {
        if (loan_ && loan_->awaited)
            actions_.answers.emplace_back(loan_->id, LoanProgress::displaced);
        loan_.reset();
    }

    bool readJustBefore(const std::map<Client, TimePoint>& readers, std::optional<Client> target, Client client,
                        TimePoint now) const
    {
        // The target reads the text to paste it; taking the selection after is the user's copy.
        if (target && client == *target)
            return false;
        const auto read = readers.find(client);
        return read != readers.end() && now - read->second <= timing_.reownWindow;
    }

    Timing timing_;
    bool owned_ = false;
    Contents served_;
    std::optional<Loan> loan_;
    std::optional<Returned> returned_;
    LoanId lastId_ = 0;
    // Counts the loans and replacements, which make a take asked for before them stale.
    std::uint64_t epoch_ = 0;
    Actions actions_;
};

} // namespace vellamor::platform
