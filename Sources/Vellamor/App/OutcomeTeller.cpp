#include "App/OutcomeTeller.h"

namespace vellamor {

OutcomeTeller::OutcomeTeller(RecordingOverlayController& overlay, SessionStateViewModel& session,
                             std::chrono::milliseconds finishedHideDelay)
    : overlay_(&overlay)
    , session_(&session)
    , finishedHideDelay_(finishedHideDelay)
{
}

OutcomeTeller::Told OutcomeTeller::dictation() const
{
    if (!overlay_)
        return {};
    return tell(overlay_->awaitOutcome());
}

OutcomeTeller::Told OutcomeTeller::phoneText(const QString& text) const
{
    if (showFinished(text))
        return tell(overlay_->awaitOutcome());
    return [teller = *this, text](InsertStrategy strategy) {
        if (teller.showFinished(text))
            teller.tell(teller.overlay_->awaitOutcome())(strategy);
    };
}

bool OutcomeTeller::showFinished(const QString& text) const
{
    if (!overlay_ || !session_)
        return false;
    OverlayViewModel& model = overlay_->viewModel();
    if (session_->sessionBusy.value() || model.delivering.value())
        return false;
    // A pinned result would be lost with the reset.
    overlay_->materializePinnedDoneIfNeeded();
    model.reset();
    model.state = DictationState::done();
    model.finalText = text;
    overlay_->show();
    model.stopTicking();
    overlay_->hideAfter(finishedHideDelay_);
    return true;
}

OutcomeTeller::Told OutcomeTeller::tell(RecordingOverlayController::OutcomeTicket ticket) const
{
    return [overlay = overlay_, ticket](InsertStrategy strategy) {
        if (overlay)
            overlay->showOutcome(ticket, strategy == InsertStrategy::noTarget || strategy == InsertStrategy::allFailed);
    };
}

} // namespace vellamor
