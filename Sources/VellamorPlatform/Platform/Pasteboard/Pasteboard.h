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
    // A request for the text has been answered whole.
    fetched,
    // None came within the limit after the chord.
    neverAsked,
    // Another program took the selection before the text was asked for;
    // what is asked of it now cannot be seen.
    lost,
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
    // Resolves when the first request for the text has been answered whole,
    // or none came within the limit of the chord, or the selection was lost.
    virtual QCoro::Task<LoanProgress> firstFetch() = 0;
    // The text stays on the selection; the user's earlier contents are dropped.
    virtual void keep() = 0;
    // The text is no longer needed: the user's earlier contents go back now.
    virtual void giveBack() = 0;
};

struct Lending {
    enum class Outcome {
        lent,
        // The earlier contents could not be read in time; the text is on
        // the selection, and nothing will replace it.
        unreadable,
        // The selection could not be taken; it holds what it held.
        refused,
    };
    Outcome outcome = Outcome::refused;
    // Only when lent.
    std::shared_ptr<PasteboardLoan> loan;
};

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
    // to a clipboard manager where one runs. Waits a bounded time.
    virtual void handOver() {}
};

} // namespace vellamor::platform
