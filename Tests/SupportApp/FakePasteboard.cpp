#include "FakePasteboard.h"

#include <gtest/gtest.h>

namespace vellamor::test {

namespace {

using platform::ClipboardLoan;
using platform::PasteboardSelection;

FakePasteboard::Entries textEntries(const QString& text)
{
    return {{QStringLiteral("text/plain"), text.toUtf8()}};
}

// The fake's clients stand for their windows too.
std::uint32_t idOf(FakePasteboard::Client client)
{
    return static_cast<std::uint32_t>(client);
}

} // namespace

class FakePasteboard::FakeLoan final : public platform::PasteboardLoan {
public:
    FakeLoan(FakePasteboard& owner, PasteboardSelection selection, Ledger::LoanId id)
        : owner_(owner), selection_(selection), id_(id)
    {
    }

    void chordSent(std::chrono::milliseconds fetchLimit) override
    {
        owner_.board(selection_).ledger.chordSent(id_, idOf(Client::target), owner_.now(), fetchLimit);
    }

    // Polls as the broker's thread would, spending the virtual clock.
    QCoro::Task<platform::LoanProgress> firstFetch() override
    {
        owner_.board(selection_).ledger.awaitFetch(id_, owner_.now());
        for (int step = 0; step < 60'000; ++step) {
            owner_.advance();
            if (const auto answer = owner_.answers_.find({selection_, id_}); answer != owner_.answers_.end())
                co_return answer->second;
            owner_.clock_->now += std::chrono::milliseconds(1);
        }
        ADD_FAILURE() << "the first fetch never resolved";
        co_return platform::LoanProgress::displaced;
    }

    void keep() override
    {
        owner_.board(selection_).ledger.keep(id_, owner_.now());
        owner_.advance();
    }

    void giveBack() override
    {
        owner_.board(selection_).ledger.giveBack(id_, owner_.now());
        owner_.advance();
    }

private:
    FakePasteboard& owner_;
    PasteboardSelection selection_;
    Ledger::LoanId id_;
};

FakePasteboard::FakePasteboard(std::shared_ptr<FakeInsertionClock> clock, ClipboardLoan::Timing timing)
    : clock_(std::move(clock)), timing_(timing)
{
}

ClipboardLoan::TimePoint FakePasteboard::now() const
{
    return ClipboardLoan::TimePoint(clock_->now);
}

FakePasteboard::Board& FakePasteboard::board(PasteboardSelection selection)
{
    return boards_.try_emplace(selection, Board{Ledger({timing_}), {}, std::nullopt}).first->second;
}

void FakePasteboard::hold(PasteboardSelection selection, Entries entries, Client client)
{
    Board& held = board(selection);
    held.foreign = std::move(entries);
    held.owner = client;
    if (held.ledger.owned()) {
        held.ledger.cleared(idOf(client), idOf(client), client == Client::manager, now());
        carryOut(selection, held);
    }
}

FakePasteboard::Entries FakePasteboard::contents(PasteboardSelection selection) const
{
    const auto found = boards_.find(selection);
    if (found == boards_.end())
        return {};
    Board later = found->second;
    later.ledger.settle(now() + std::chrono::hours(1));
    if (const auto take = later.ledger.takeTake())
        apply(later, *take);
    if (!later.ledger.owned())
        return later.foreign;
    if (later.ledger.lending()) {
        const auto user = later.ledger.heldUserContents(0);
        return user && *user ? **user : Entries{};
    }
    return later.ledger.served();
}

std::optional<QString> FakePasteboard::textOf(const Entries& entries)
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
    Board& asked = board(selection);
    if (!asked.ledger.owned())
        return textOf(asked.foreign);
    // A probe for the offered formats: counts as no request for the text.
    const auto served = asked.ledger.request({idOf(client), false, false}, now());
    carryOut(selection, asked);
    return textOf(*served.contents);
}

void FakePasteboard::fetch(PasteboardSelection selection, Client client)
{
    advance();
    Board& asked = board(selection);
    if (!asked.ledger.owned()) {
        fetches_.push_back({client, textOf(asked.foreign)});
        return;
    }
    const ClipboardLoan::Request request{idOf(client), true, client == Client::manager};
    const auto served = asked.ledger.request(request, now());
    fetches_.push_back({client, textOf(*served.contents)});
    if (served.loan)
        asked.ledger.answered(*served.loan, request, now());
    carryOut(selection, asked);
}

void FakePasteboard::transfer(PasteboardSelection selection, bool underWay)
{
    advance();
    Board& asked = board(selection);
    if (underWay) {
        const auto served = asked.ledger.request({idOf(Client::target), true, false}, now());
        transferLoan_ = served.loan;
        transferText_ = textOf(*served.contents);
        if (served.loan && served.counts)
            asked.ledger.transferStarted(*served.loan, now());
        return;
    }
    if (!transferLoan_)
        return;
    asked.ledger.transferEnded(*std::exchange(transferLoan_, std::nullopt), true, now());
    fetches_.push_back({Client::target, transferText_});
    carryOut(selection, asked);
}

void FakePasteboard::reown(PasteboardSelection selection, Client client)
{
    advance();
    Board& asked = board(selection);
    if (!asked.ledger.owned())
        return;
    const ClipboardLoan::Request request{idOf(client), true, client == Client::manager};
    const auto served = asked.ledger.request(request, now());
    Entries copied = *served.contents;
    if (served.loan)
        asked.ledger.answered(*served.loan, request, now());
    hold(selection, std::move(copied), client);
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
    for (auto& [selection, settled] : boards_) {
        settled.ledger.settle(now());
        carryOut(selection, settled);
    }
}

void FakePasteboard::carryOut(PasteboardSelection selection, Board& board)
{
    for (const auto& [id, progress] : board.ledger.takeAnswers())
        answers_.emplace(std::pair(selection, id), progress);
    if (const auto take = board.ledger.takeTake(); take && apply(board, *take))
        record(selection, take->contents);
}

bool FakePasteboard::apply(Board& board, const Ledger::Take& take)
{
    if (!board.ledger.stillWanted(take))
        return false;
    const bool due = take.from ? board.owner && idOf(*board.owner) == *take.from : board.ledger.owned();
    if (!due)
        return false;
    board.ledger.owns(take.contents);
    board.foreign.clear();
    board.owner.reset();
    return true;
}

void FakePasteboard::runFor(std::chrono::milliseconds duration)
{
    for (auto left = duration; left > std::chrono::milliseconds(0); --left) {
        clock_->now += std::chrono::milliseconds(1);
        advance();
    }
}

void FakePasteboard::record(PasteboardSelection selection, Entries entries)
{
    writes_.push_back({selection, std::move(entries), clock_->now});
}

void FakePasteboard::setText(PasteboardSelection selection, const QString& text)
{
    Board& replaced = board(selection);
    replaced.ledger.replace(textEntries(text));
    replaced.foreign.clear();
    replaced.owner.reset();
    carryOut(selection, replaced);
    record(selection, textEntries(text));
}

QCoro::Task<platform::Lending> FakePasteboard::lend(PasteboardSelection selection, QString text)
{
    if (refuseText && (!refuseTextOn || *refuseTextOn == selection))
        co_return platform::Lending();
    advance();
    Board& lent = board(selection);
    auto user = lent.ledger.heldUserContents(lent.owner ? idOf(*lent.owner) : 0);
    if (!user)
        user = unreadable ? std::optional<Entries>() : std::optional<Entries>(lent.foreign);
    const Ledger::LoanId id = lent.ledger.lend(textEntries(text), std::move(*user), now());
    lent.foreign.clear();
    lent.owner.reset();
    carryOut(selection, lent);
    record(selection, textEntries(text));
    if (!firstLendAt_)
        firstLendAt_ = clock_->now;
    co_return std::make_shared<FakeLoan>(*this, selection, id);
}

void FakePasteboard::userPasted()
{
    for (auto& [selection, pasted] : boards_) {
        pasted.ledger.userPasted(now());
        carryOut(selection, pasted);
    }
}

} // namespace vellamor::test
