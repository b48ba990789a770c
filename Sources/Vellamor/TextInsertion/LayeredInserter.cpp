#include "TextInsertion/LayeredInserter.h"

#include "TextInsertion/Inserters/AccessibilityInserterError.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"

namespace vellamor {

namespace {

enum class Outcome { succeeded, failed, failedAfterTyping, selfReflective };

QCoro::Task<Outcome> attempt(AnyInserter& layer, QString text)
{
    try {
        co_await layer.insert(std::move(text));
        co_return Outcome::succeeded;
    } catch (const AccessibilityInserterError& error) {
        co_return error.kind() == AccessibilityInserterError::Kind::selfReflective ? Outcome::selfReflective
                                                                                    : Outcome::failed;
    } catch (const KeystrokeInserterError& error) {
        co_return error.charactersPosted() > 0 ? Outcome::failedAfterTyping : Outcome::failed;
    } catch (...) {
        co_return Outcome::failed;
    }
}

} // namespace

LayeredInserter::LayeredInserter(std::shared_ptr<AnyInserter> ax, std::shared_ptr<AnyInserter> keyboard,
                                 std::shared_ptr<AnyInserter> clipboard, std::shared_ptr<AccessibilityProbing> probe,
                                 std::shared_ptr<platform::Pasteboard> pasteboard,
                                 std::shared_ptr<InsertionQueue> queue)
    : ax_(std::move(ax))
    , keyboard_(std::move(keyboard))
    , clipboard_(std::move(clipboard))
    , probe_(std::move(probe))
    , pasteboard_(std::move(pasteboard))
    , queue_(std::move(queue))
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
    const Outcome ax = co_await attempt(*self.ax_, text);
    if (ax == Outcome::succeeded)
        co_return InsertStrategy::ax;
    if (ax != Outcome::selfReflective) {
        const Outcome keyboard = co_await attempt(*self.keyboard_, text);
        if (keyboard == Outcome::succeeded)
            co_return InsertStrategy::keyboard;
        if (keyboard == Outcome::failedAfterTyping) {
            self.leaveOnClipboard(text);
            co_return InsertStrategy::allFailed;
        }
    }
    const Outcome clipboard = co_await attempt(*self.clipboard_, text);
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
