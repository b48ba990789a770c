#include "TextInsertion/LayeredInserter.h"

#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"

namespace vellamor {

namespace {

constexpr std::chrono::milliseconds readbackPoll { 10 };
// Keys typed are read by the target later, a slow one up to 16 ms per key
// after the last; a page that works 4 s at a time took them in up to 4 s
// after the last was typed, and nothing on the bus or the display tells
// keys still queued from keys dropped.
constexpr std::chrono::milliseconds typedShowLimit { 6000 };

enum class Outcome { succeeded, failed, fieldChanged, selfReflective, unanswered, unshown, unconfirmed, displaced };

Outcome outcomeOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AccessibilityInserterError& e) {
        if (e.kind() == AccessibilityInserterError::Kind::selfReflective)
            return Outcome::selfReflective;
        if (e.kind() == AccessibilityInserterError::Kind::changedUnexpectedly)
            return Outcome::fieldChanged;
        if (e.kind() == AccessibilityInserterError::Kind::unanswered)
            return Outcome::unanswered;
        if (e.kind() == AccessibilityInserterError::Kind::unshown)
            return Outcome::unshown;
    } catch (const KeystrokeInserterError& e) {
        if (e.charactersPosted() > 0)
            return Outcome::fieldChanged;
    } catch (const ClipboardInserterError& e) {
        if (e.kind() == ClipboardInserterError::Kind::unconfirmed)
            return Outcome::unconfirmed;
        if (e.kind() == ClipboardInserterError::Kind::displaced)
            return Outcome::displaced;
    } catch (...) {
    }
    return Outcome::failed;
}

// "notWritten" for "notWritten", "buildFailed" for "buildFailed(posted=3)";
// a foreign error's message may hold anything.
QString kindOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.debugDescription().section(QLatin1Char('('), 0, 0);
    } catch (...) {
        return QStringLiteral("unexpected error");
    }
}

// One line per failed layer: the kind in the public part, the whole
// description (error codes, counts, a foreign error's message) in the private one.
QCoro::Task<Outcome> attempt(AnyInserter& layer, QString text, VellamorLog log, QString name)
{
    std::exception_ptr error;
    try {
        co_await layer.insert(std::move(text));
        co_return Outcome::succeeded;
    } catch (...) {
        error = std::current_exception();
    }
    log.info(QStringLiteral("layer ") + name + QStringLiteral(" failed: ") + kindOf(error), describeException(error));
    co_return outcomeOf(error);
}

} // namespace

LayeredInserter::LayeredInserter(std::shared_ptr<AnyInserter> ax, std::shared_ptr<AnyInserter> keyboard,
    std::shared_ptr<AnyInserter> clipboard, std::shared_ptr<AccessibilityProbing> probe,
    std::shared_ptr<platform::Pasteboard> pasteboard, std::shared_ptr<InsertionQueue> queue, VellamorLog log,
    InsertionSleep sleep, InsertionClock clock)
    : ax_(std::move(ax))
    , keyboard_(std::move(keyboard))
    , clipboard_(std::move(clipboard))
    , probe_(std::move(probe))
    , pasteboard_(std::move(pasteboard))
    , queue_(std::move(queue))
    , log_(std::move(log))
    , sleep_(std::move(sleep))
    , clock_(std::move(clock))
{
}

QCoro::Task<InsertStrategy> LayeredInserter::insertLayered(QString text) const
{
    return run(*this, std::move(text));
}

QCoro::Task<InsertStrategy> LayeredInserter::run(LayeredInserter self, QString text)
{
    if (text.isEmpty())
        co_return InsertStrategy::ax;
    auto ticket = co_await InsertionQueue::enter(self.queue_);

    const FocusTarget target = co_await self.probe_->focusTarget();
    if (target == FocusTarget::none) {
        self.leaveOnClipboard(text);
        co_return InsertStrategy::noTarget;
    }
    // Keys vanish there and a paste may be fetched and dropped, which the
    // paste layer takes for success; a field too long to read back would
    // not show otherwise.
    if (target == FocusTarget::readOnlyElement) {
        self.log_.info(QStringLiteral("focused element is read-only"));
        self.leaveOnClipboard(text);
        co_return InsertStrategy::allFailed;
    }
    // A layer that left part of the text, or something else, in the field
    // ends the attempt: the next one would add the whole text again.
    bool tryKeystrokes = text.size() <= keystrokeLimit;
    if (target == FocusTarget::element && text.size() <= accessibilityLimit) {
        const Outcome ax = co_await attempt(*self.ax_, text, self.log_, QStringLiteral("ax"));
        if (ax == Outcome::succeeded)
            co_return InsertStrategy::ax;
        // The layer read the field back for as long as the write may show:
        // one still unanswered or unshown may show later, never twice.
        if (ax == Outcome::fieldChanged || ax == Outcome::unanswered || ax == Outcome::unshown) {
            self.leaveOnClipboard(text);
            co_return InsertStrategy::allFailed;
        }
        tryKeystrokes = tryKeystrokes && ax != Outcome::selfReflective;
    }
    if (tryKeystrokes) {
        const auto before = co_await readableField(self, target, text);
        const Outcome keyboard = co_await attempt(*self.keyboard_, text, self.log_, QStringLiteral("keyboard"));
        if (keyboard == Outcome::succeeded) {
            const bool typed = co_await tookEffect(self, before, QStringLiteral("keyboard"), typedShowLimit);
            if (typed)
                co_return InsertStrategy::keyboard;
            self.leaveOnClipboard(text);
            co_return InsertStrategy::allFailed;
        }
        if (keyboard == Outcome::fieldChanged) {
            self.leaveOnClipboard(text);
            co_return InsertStrategy::allFailed;
        }
    }
    // A read-only field takes the paste chord, even asks for the text, and
    // shows nothing: only the read-back tells.
    const auto before = co_await readableField(self, target, text);
    const Outcome clipboard = co_await attempt(*self.clipboard_, text, self.log_, QStringLiteral("clipboard"));
    if (clipboard == Outcome::succeeded) {
        const bool pasted = co_await tookEffect(self, before, QStringLiteral("clipboard"));
        if (pasted)
            co_return InsertStrategy::clipboard;
    }
    // Another program served the text, or read it: only a field that shows it tells it arrived.
    if (clipboard == Outcome::unconfirmed && before && co_await fieldChanged(self, *before, typedShowLimit))
        co_return InsertStrategy::clipboard;
    // The user's own copy took the clipboard: it stays, the text is in the history.
    if (clipboard == Outcome::displaced)
        co_return InsertStrategy::allFailed;
    self.leaveOnClipboard(text);
    co_return InsertStrategy::allFailed;
}

QCoro::Task<std::optional<QString>> LayeredInserter::readableField(
    LayeredInserter self, FocusTarget target, QString text)
{
    if (target != FocusTarget::element || text.size() > accessibleTextLimit)
        co_return std::nullopt;
    const auto field = co_await self.probe_->focusedText();
    if (!field || field->size() + text.size() > accessibleTextLimit)
        co_return std::nullopt;
    co_return field;
}

QCoro::Task<bool> LayeredInserter::tookEffect(
    LayeredInserter self, std::optional<QString> before, QString layer, std::chrono::milliseconds limit)
{
    if (!before)
        co_return true;
    const bool changed = co_await fieldChanged(self, *before, limit);
    if (changed)
        co_return true;
    self.log_.info(QStringLiteral("layer ") + layer + QStringLiteral(" failed: field unchanged"));
    co_return false;
}

QCoro::Task<bool> LayeredInserter::fieldChanged(LayeredInserter self, QString before, std::chrono::milliseconds limit)
{
    const auto deadline = self.clock_() + limit;
    bool last = false;
    while (true) {
        // A field that can no longer be read (the focus moved) is given the benefit of the doubt.
        const auto now = co_await self.probe_->focusedText();
        if (!now || *now != before)
            co_return true;
        // Text that shows just after the limit is no failure: one more read
        // after a last pause.
        if (last)
            co_return false;
        last = self.clock_() >= deadline;
        co_await self.sleep_(readbackPoll);
    }
}

void LayeredInserter::leaveOnClipboard(const QString& text) const
{
    if (pasteboard_)
        pasteboard_->setText(platform::PasteboardSelection::clipboard, text);
}

} // namespace vellamor
