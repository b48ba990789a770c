#include "TextInsertion/LayeredInserter.h"

#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"

namespace vellamor {

namespace {

enum class Outcome { succeeded, failed, fieldChanged, selfReflective };

Outcome outcomeOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AccessibilityInserterError& e) {
        if (e.kind() == AccessibilityInserterError::Kind::selfReflective)
            return Outcome::selfReflective;
        if (e.kind() == AccessibilityInserterError::Kind::changedUnexpectedly)
            return Outcome::fieldChanged;
    } catch (const KeystrokeInserterError& e) {
        if (e.charactersPosted() > 0)
            return Outcome::fieldChanged;
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
                                 std::shared_ptr<platform::Pasteboard> pasteboard,
                                 std::shared_ptr<InsertionQueue> queue, VellamorLog log)
    : ax_(std::move(ax))
    , keyboard_(std::move(keyboard))
    , clipboard_(std::move(clipboard))
    , probe_(std::move(probe))
    , pasteboard_(std::move(pasteboard))
    , queue_(std::move(queue))
    , log_(std::move(log))
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

    if (!self.probe_->isTrustedAndHasFocus()) {
        self.leaveOnClipboard(text);
        co_return InsertStrategy::noTarget;
    }
    // A layer that left part of the text, or something else, in the field
    // ends the attempt: the next one would add the whole text again.
    const Outcome ax = co_await attempt(*self.ax_, text, self.log_, QStringLiteral("ax"));
    if (ax == Outcome::succeeded)
        co_return InsertStrategy::ax;
    if (ax == Outcome::fieldChanged) {
        self.leaveOnClipboard(text);
        co_return InsertStrategy::allFailed;
    }
    if (ax != Outcome::selfReflective) {
        const Outcome keyboard = co_await attempt(*self.keyboard_, text, self.log_, QStringLiteral("keyboard"));
        if (keyboard == Outcome::succeeded)
            co_return InsertStrategy::keyboard;
        if (keyboard == Outcome::fieldChanged) {
            self.leaveOnClipboard(text);
            co_return InsertStrategy::allFailed;
        }
    }
    const Outcome clipboard = co_await attempt(*self.clipboard_, text, self.log_, QStringLiteral("clipboard"));
    if (clipboard == Outcome::succeeded)
        co_return InsertStrategy::clipboard;
    self.leaveOnClipboard(text);
    co_return InsertStrategy::allFailed;
}

void LayeredInserter::leaveOnClipboard(const QString& text) const
{
    if (pasteboard_)
        pasteboard_->setText(platform::PasteboardSelection::clipboard, text);
}

} // namespace vellamor
