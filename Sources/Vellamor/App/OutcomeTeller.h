#pragma once

#include "App/SessionStateViewModel.h"
#include "Overlay/RecordingOverlayController.h"
#include "TextInsertion/LayeredInserterOutput.h"

#include <QPointer>
#include <QString>

#include <chrono>

namespace vellamor {

// Says on the island where a delivered text went: into the field, or onto
// the clipboard, where the user finds it to paste by hand. A dictation's text
// is told on its own finished island; a paired phone's text gets the
// finished island a dictation of it would have.
//
// A value holding its parts weakly: what it hands out may be told an outcome
// after they are gone.
class OutcomeTeller {
public:
    using Told = LayeredInserterOutput::Delivered;

    // `finishedHideDelay`: how long a finished island stays once told.
    OutcomeTeller(RecordingOverlayController& overlay, SessionStateViewModel& session,
                  std::chrono::milliseconds finishedHideDelay);

    // The island of the dictation whose text is being delivered waits for
    // its outcome; a dictation that takes the island meanwhile keeps its own.
    Told dictation() const;
    // A phone's text takes the island unless a dictation holds it, open or
    // with its own outcome still to come; it then shows once its outcome
    // comes, if the island is free by then.
    Told phoneText(const QString& text) const;

private:
    // Shows `text` as a finished dictation's, if the island is free.
    bool showFinished(const QString& text) const;
    Told tell(RecordingOverlayController::OutcomeTicket ticket) const;

    QPointer<RecordingOverlayController> overlay_;
    QPointer<SessionStateViewModel> session_;
    std::chrono::milliseconds finishedHideDelay_;
};

} // namespace vellamor
