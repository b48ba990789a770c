#include "FakePasteboard.h"

#include <gtest/gtest.h>

namespace vellamor::test {

namespace {

using platform::ClipboardLoan;
using platform::PasteboardSelection;
using Phase = ClipboardLoan::Phase;

std::vector<PasteboardEntry> textEntries(const QString& text)
{
    return {{QStringLiteral("text/plain"), text.toUtf8()}};
}

bool serving(Phase phase)
{
    return phase == Phase::lending || phase == Phase::taken;
}

} // namespace

class FakePasteboard::FakeLoan final : public platform::PasteboardLoan {
public:
    FakeLoan(FakePasteboard& owner, PasteboardSelection selection, std::shared_ptr<Loan> loan)
        : owner_(owner), selection_(selection), loan_(std::move(loan))
    {
    }

    void chordSent(std::chrono::milliseconds fetchLimit) override
    {
        loan_->logic.chordSent(static_cast<std::uint32_t>(Client::target), now(), fetchLimit);
    }

    // Polls as the broker's thread would, spending the virtual clock.
    QCoro::Task<platform::LoanProgress> firstFetch() override
    {
        for (int step = 0; step < 60'000; ++step) {
            owner_.advance();
            if (const auto progress = loan_->logic.progress(now()))
                co_return *progress;
            owner_.clock_->now += std::chrono::milliseconds(1);
        }
        ADD_FAILURE() << "the first fetch never resolved";
        co_return platform::LoanProgress::lost;
    }

    void keep() override
    {
        loan_->logic.keep();
        owner_.advance();
    }

    void giveBack() override
    {
        loan_->logic.giveBack();
        owner_.advance();
    }

private:
    ClipboardLoan::TimePoint now() const { return ClipboardLoan::TimePoint(owner_.clock_->now); }

    FakePasteboard& owner_;
    PasteboardSelection selection_;
    std::shared_ptr<Loan> loan_;
};

FakePasteboard::FakePasteboard(std::shared_ptr<FakeInsertionClock> clock, ClipboardLoan::Timing timing)
    : clock_(std::move(clock)), timing_(timing)
{
}

void FakePasteboard::hold(PasteboardSelection selection, std::vector<PasteboardEntry> entries)
{
    Board& board = boards_[selection];
    board.entries = std::move(entries);
    if (board.loan)
        board.loan->logic.lost(false, ClipboardLoan::TimePoint(clock_->now));
}

std::vector<PasteboardEntry> FakePasteboard::contents(PasteboardSelection selection) const
{
    const auto found = boards_.find(selection);
    if (found == boards_.end())
        return {};
    const Board& board = found->second;
    if (!board.loan)
        return board.entries;
    ClipboardLoan logic = board.loan->logic;
    const Phase phase = logic.phase(ClipboardLoan::TimePoint(clock_->now));
    if (phase == Phase::kept)
        return board.loan->text;
    if (phase == Phase::lost && !logic.reclaimAt())
        return board.entries;
    return board.loan->user;
}

std::optional<QString> FakePasteboard::textOf(const std::vector<PasteboardEntry>& entries)
{
    for (const auto& entry : entries) {
        if (entry.format == QStringLiteral("text/plain"))
            return QString::fromUtf8(entry.data);
    }
    return std::nullopt;
}

std::optional<QString> FakePasteboard::text(PasteboardSelection selection) const
{
    return textOf(contents(selection));
}

std::optional<QString> FakePasteboard::served(PasteboardSelection selection, Client client)
{
    advance();
    Board& board = boards_[selection];
    const auto now = ClipboardLoan::TimePoint(clock_->now);
    if (!board.loan || !serving(board.loan->logic.phase(now)))
        return textOf(board.entries);
    // A probe for the offered formats: counts as no request for the text.
    const bool text = board.loan->logic.serve({static_cast<std::uint32_t>(client), false, false}, now)
        == ClipboardLoan::Serve::text;
    return textOf(text ? board.loan->text : board.loan->user);
}

void FakePasteboard::fetch(PasteboardSelection selection, Client client)
{
    advance();
    Board& board = boards_[selection];
    const auto now = ClipboardLoan::TimePoint(clock_->now);
    if (!board.loan || !serving(board.loan->logic.phase(now))) {
        fetched_.push_back(textOf(board.entries));
        return;
    }
    const ClipboardLoan::Request request{static_cast<std::uint32_t>(client), true, client == Client::manager};
    const bool counts = board.loan->logic.counts(request);
    const bool text = board.loan->logic.serve(request, now) == ClipboardLoan::Serve::text;
    if (counts)
        board.loan->logic.fetched(now);
    fetched_.push_back(textOf(text ? board.loan->text : board.loan->user));
}

void FakePasteboard::transfer(PasteboardSelection selection, bool underWay)
{
    advance();
    const auto& loan = boards_[selection].loan;
    if (!loan)
        return;
    const auto now = ClipboardLoan::TimePoint(clock_->now);
    if (underWay) {
        loan->logic.serve({static_cast<std::uint32_t>(Client::target), true, false}, now);
        loan->logic.transferStarted(now);
        return;
    }
    loan->logic.transferEnded(now);
    loan->logic.fetched(now);
    fetched_.push_back(textOf(loan->text));
}

void FakePasteboard::reown(PasteboardSelection selection)
{
    advance();
    Board& board = boards_[selection];
    const auto now = ClipboardLoan::TimePoint(clock_->now);
    if (!board.loan || !serving(board.loan->logic.phase(now)))
        return;
    const bool text = board.loan->logic.serve({static_cast<std::uint32_t>(Client::manager), true, true}, now)
        == ClipboardLoan::Serve::text;
    board.entries = text ? board.loan->text : board.loan->user;
    board.loan->logic.lost(text, now);
    if (!text)
        board.loan = nullptr;
}

void FakePasteboard::at(std::chrono::milliseconds after, Action action)
{
    actions_.emplace(after, std::move(action));
}

void FakePasteboard::advance()
{
    // An action that looks at the clipboards runs no later action before its own.
    while (!runningAction_ && firstLendAt_ && !actions_.empty()
           && actions_.begin()->first <= clock_->now - *firstLendAt_) {
        const Action action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        runningAction_ = true;
        action(*this);
        runningAction_ = false;
    }
    const auto now = ClipboardLoan::TimePoint(clock_->now);
    for (auto& [selection, board] : boards_) {
        if (!board.loan)
            continue;
        const Phase phase = board.loan->logic.phase(now);
        const auto reclaimAt = board.loan->logic.reclaimAt();
        if (phase == Phase::returned || (phase == Phase::lost && reclaimAt && now >= *reclaimAt)) {
            board.entries = board.loan->user;
            board.loan = nullptr;
            record(selection, board.entries);
        } else if (phase == Phase::kept) {
            board.entries = board.loan->text;
            board.loan = nullptr;
        } else if (phase == Phase::lost && !reclaimAt) {
            board.loan = nullptr;
        }
    }
}

void FakePasteboard::runFor(std::chrono::milliseconds duration)
{
    for (auto left = duration; left > std::chrono::milliseconds(0); --left) {
        clock_->now += std::chrono::milliseconds(1);
        advance();
    }
}

void FakePasteboard::record(PasteboardSelection selection, std::vector<PasteboardEntry> entries)
{
    writes_.push_back({selection, std::move(entries), clock_->now});
}

void FakePasteboard::setText(PasteboardSelection selection, const QString& text)
{
    boards_[selection] = {textEntries(text), nullptr};
    record(selection, textEntries(text));
}

QCoro::Task<platform::Lending> FakePasteboard::lend(PasteboardSelection selection, QString text)
{
    using Outcome = platform::Lending::Outcome;
    if (refuseText && (!refuseTextOn || *refuseTextOn == selection))
        co_return platform::Lending{Outcome::refused, nullptr};
    advance();
    Board& board = boards_[selection];
    std::vector<PasteboardEntry> user = board.loan ? board.loan->user : board.entries;
    board.entries = textEntries(text);
    record(selection, board.entries);
    if (unreadable) {
        board.loan = nullptr;
        if (!firstLendAt_)
            firstLendAt_ = clock_->now;
        co_return platform::Lending{Outcome::unreadable, nullptr};
    }
    board.loan = std::make_shared<Loan>(
        Loan{ClipboardLoan(timing_, ClipboardLoan::TimePoint(clock_->now)), textEntries(text), std::move(user)});
    if (!firstLendAt_)
        firstLendAt_ = clock_->now;
    co_return platform::Lending{Outcome::lent, std::make_shared<FakeLoan>(*this, selection, board.loan)};
}

} // namespace vellamor::test
