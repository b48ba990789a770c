#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>
#include <memory>

namespace vellamor::platform {

enum class PasteboardSelection {
    clipboard, // what Ctrl+V pastes
    primary,   // the last selected text, pasted with the middle button or Shift+Insert
};

// How far a lent text has gone, as far as the paste needs to know.
enum class LoanProgress {
    // The target's client has been answered whole.
    fetched,
    // No request came within the limit after the chord.
    neverAsked,
    // Whether the target took the text cannot be told from here: another
    // client fetched it while the target's own did not ask within the limit
    // (a target may read over a connection of its own, a clipboard reader
    // may be polling), or a clipboard manager holding the text took the
    // selection before the target asked. Only the field can tell.
    unconfirmed,
    // Another program's copy took the selection before the text was asked
    // for: it is the user's now, and the target pastes that, not the text.
    displaced,
};

// A text lent to a selection for one paste. Until the target has taken the
// text every request gets it; then the target's own client still does for a
// while, anyone else gets the user's earlier contents, and those finally
// come back on their own. Main thread; the loan goes on after its object is
// gone.
class PasteboardLoan {
public:
    virtual ~PasteboardLoan() = default;

    // The paste chord is about to be sent to the active window, which has
    // `fetchLimit` to ask for the text.
    virtual void chordSent(std::chrono::milliseconds fetchLimit) = 0;
    // Resolves once the progress is known: the first fetch, the limit of the
    // chord, or the selection taken by another program.
    virtual QCoro::Task<LoanProgress> firstFetch() = 0;
    // The text stays on the selection; the user's earlier contents are dropped.
    virtual void keep() = 0;
    // The text is no longer needed: the user's earlier contents go back now.
    virtual void giveBack() = 0;
};

// None when the selection could not be taken: it holds what it held. Where
// the earlier contents could not be read in time (an owner that does not
// answer), the text is lent all the same and stays once the loan is over.
using Lending = std::shared_ptr<PasteboardLoan>;

// The session's clipboards. On X11 the owner serves the data when another
// application asks; nothing here waits on another program on the caller's
// thread. Main thread.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Replaces the contents with the text alone, for the user to paste.
    virtual void setText(PasteboardSelection selection, const QString& text) = 0;
    // Reads what the selection holds, then puts `text` on it for a paste.
    virtual QCoro::Task<Lending> lend(PasteboardSelection selection, QString text) = 0;
    // The application is quitting: what this process serves on the
    // clipboard (the user's own contents where a loan is under way) goes
    // to a clipboard manager where one runs. A read of another owner under
    // way is cut short. Waits a bounded time.
    virtual void handOver() {}
    // The user pressed a paste chord: a target that has fetched a lent text
    // is done with it, and what is pasted now is the user's own contents.
    virtual void userPasted() {}
};

} // namespace vellamor::platform
