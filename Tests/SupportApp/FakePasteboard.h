#pragma once

#include "Platform/Pasteboard/ClipboardLoan.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Platform/Pasteboard/SelectionLedger.h"
#include "RecordingInsertionSleep.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vellamor::test {

struct PasteboardEntry {
    QString format;
    QByteArray data;

    friend bool operator==(const PasteboardEntry&, const PasteboardEntry&) = default;
};

// Two clipboards held in memory, the application the text is pasted into,
// and other programs asking for them and taking them, on the shared virtual
// clock. What this process owns is kept by the product's SelectionLedger,
// as the selection broker keeps it. Every take of a selection by this
// process is recorded with its time, and so is what each request got.
class FakePasteboard final : public platform::Pasteboard {
public:
    using Entries = std::vector<PasteboardEntry>;
    struct Write {
        platform::PasteboardSelection selection;
        Entries entries;
        std::chrono::milliseconds at;
    };
    using Action = std::function<void(FakePasteboard&)>;
    // Who asks: the target's window client, another connection of the
    // target's, any other program, the clipboard manager (which owns
    // CLIPBOARD_MANAGER), a program that reads every change without owning it.
    enum class Client : std::uint32_t { target = 1, targetsOther, other, manager, reader };
    struct Fetch {
        Client client;
        std::optional<QString> text;
    };

    explicit FakePasteboard(std::shared_ptr<FakeInsertionClock> clock = std::make_shared<FakeInsertionClock>(),
                            platform::ClipboardLoan::Timing timing = {});

    // `client` copies: it owns the selection from then on.
    void hold(platform::PasteboardSelection selection, Entries entries, Client client = Client::other);

    // What the selection holds once its loan has run its course with no
    // further request.
    Entries contents(platform::PasteboardSelection selection) const;
    // Its "text/plain" data as text; none without it.
    std::optional<QString> text(platform::PasteboardSelection selection) const;
    // What a request by `client` would get now.
    std::optional<QString> served(platform::PasteboardSelection selection, Client client);
    const std::vector<Write>& writes() const { return writes_; }
    // Who asked for the text and what each got, in order.
    const std::vector<Fetch>& fetches() const { return fetches_; }

    // lend() on that selection is refused and changes nothing.
    bool refuseText = false;
    std::optional<platform::PasteboardSelection> refuseTextOn;
    // The owner does not give its contents in time.
    bool unreadable = false;

    // `client` asks for the text, and gets whatever it is served whole.
    void fetch(platform::PasteboardSelection selection, Client client = Client::target);
    // The text is being sent to the target in parts, or has been.
    void transfer(platform::PasteboardSelection selection, bool underWay);
    // `client` copies what it is served and takes the selection.
    void reown(platform::PasteboardSelection selection, Client client = Client::manager);
    // Runs `action` once the clock is `after` past the first lend, when the
    // paste or a test next looks (advance()).
    void at(std::chrono::milliseconds after, Action action);
    // Runs the actions due and moves every loan on to the clock's time.
    void advance();
    // Moves the clock on by `duration` a millisecond at a time, advancing at each.
    void runFor(std::chrono::milliseconds duration);

    void setText(platform::PasteboardSelection selection, const QString& text) override;
    QCoro::Task<platform::Lending> lend(platform::PasteboardSelection selection, QString text) override;
    void userPasted() override;

private:
    using Ledger = platform::SelectionLedger<Entries>;
    struct Board {
        Ledger ledger;
        // What another program holds while this process does not own the selection.
        Entries foreign;
        std::optional<Client> owner;
    };
    class FakeLoan;

    platform::ClipboardLoan::TimePoint now() const;
    Board& board(platform::PasteboardSelection selection);
    // Does what the ledger asks for.
    void carryOut(platform::PasteboardSelection selection, Board& board);
    // Whether the take went through.
    static bool apply(Board& board, const Ledger::Take& take);
    void record(platform::PasteboardSelection selection, Entries entries);
    static std::optional<QString> textOf(const Entries& entries);

    std::shared_ptr<FakeInsertionClock> clock_;
    platform::ClipboardLoan::Timing timing_;
    std::map<platform::PasteboardSelection, Board> boards_;
    std::map<std::pair<platform::PasteboardSelection, Ledger::LoanId>, platform::LoanProgress> answers_;
    std::vector<Write> writes_;
    std::vector<Fetch> fetches_;
    std::optional<std::chrono::milliseconds> firstLendAt_;
    std::multimap<std::chrono::milliseconds, Action> actions_;
    bool runningAction_ = false;
    std::optional<Ledger::LoanId> transferLoan_;
    std::optional<QString> transferText_;
};

} // namespace vellamor::test
