#include "Platform/Pasteboard/X11SelectionBroker.h"

#include "Platform/Pasteboard/SelectionReader.h"
#include "Platform/Pasteboard/SelectionServer.h"
#include "Support/Async/Channel.h"

#include <QString>

#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xfixes.h>

namespace vellamor::platform {

namespace {

using Clock = SelectionDisplay::Clock;
using TimePoint = SelectionDisplay::TimePoint;
using Ledger = SelectionLedger<SelectionContents>;
using LoanId = Ledger::LoanId;

// An eventfd that, once written, stays readable.
struct Signal {
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    ~Signal()
    {
        if (fd >= 0)
            close(fd);
    }
    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void raise() const
    {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write(fd, &one, sizeof one);
    }
    void clear() const
    {
        uint64_t count = 0;
        [[maybe_unused]] const auto read = ::read(fd, &count, sizeof count);
    }
};

} // namespace

class X11SelectionBroker::Broker final : SelectionDisplay::Handler, SelectionServer::Owner {
public:
    using Task = std::function<void(Broker&)>;

    explicit Broker(Limits limits)
        : limits_(limits)
        , reader_(display_, {limits.step, limits.snapshot}, quit_.fd)
        , server_(display_, *this, limits.stalledTransfer)
    {
        if (!display_.connected() || wake_.fd < 0 || quit_.fd < 0)
            return;
        display_.setHandler(this);
        const std::pair<PasteboardSelection, const char*> names[] = {{PasteboardSelection::clipboard, "CLIPBOARD"},
                                                                      {PasteboardSelection::primary, "PRIMARY"}};
        for (const auto& [which, name] : names) {
            Slot& slot = slots_.try_emplace(which, Ledger(limits.ledger)).first->second;
            slot.atom = display_.atom(name);
            display_.watchOwner(slot.atom);
        }
        thread_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "vellamor-clip");
            run();
        });
    }

    ~Broker() override
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        // A read under way would hold the join for seconds.
        quit_.raise();
        wake_.raise();
        if (thread_.joinable())
            thread_.join();
        answerEveryWaiting();
    }

    bool running() const { return thread_.joinable(); }
    // A read under way ends at once; a little slack for the task before it.
    std::chrono::milliseconds handOverWait() const { return limits_.handOver + std::chrono::milliseconds(500); }

    // Runs `task` on the broker's thread, in call order; false once it has stopped.
    bool post(Task task)
    {
        if (!running())
            return false;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return false;
            tasks_.push_back(std::move(task));
        }
        wake_.raise();
        return true;
    }

    // Reads of other owners stop at once, for good.
    void cutShort() { quit_.raise(); }

    // The rest runs on the broker's thread.

    void setText(PasteboardSelection which, const QByteArray& text)
    {
        Slot& slot = slots_.at(which);
        const SelectionContents contents = textContents(text);
        if (take(slot))
            slot.ledger.replace(contents);
        carryOut(which);
    }

    // The loan's id; none when the selection could not be taken.
    std::optional<LoanId> lend(PasteboardSelection which, const QByteArray& text)
    {
        // A copy made just before must be known: it holds the user's contents.
        display_.drain(nullptr);
        Slot& slot = slots_.at(which);
        slot.ledger.settle(Clock::now());
        carryOut(which);
        std::optional<std::optional<SelectionContents>> held = slot.ledger.heldUserContents(display_.ownerOf(slot.atom));
        if (!held) {
            held.emplace(reader_.readAll(slot.atom));
            // Quitting: the owner keeps what it has.
            if (!*held && reader_.cutShort())
                return std::nullopt;
        }
        if (!take(slot))
            return std::nullopt;
        const LoanId id = slot.ledger.lend(textContents(text), std::move(*held), Clock::now());
        carryOut(which);
        return id;
    }

    void chordSent(PasteboardSelection which, LoanId id, std::chrono::milliseconds limit)
    {
        slots_.at(which).ledger.chordSent(id, display_.activeClient(), Clock::now(), limit);
    }

    void awaitFetch(PasteboardSelection which, LoanId id, Channel<LoanProgress> answer)
    {
        waiting_.insert_or_assign({which, id}, std::move(answer));
        slots_.at(which).ledger.awaitFetch(id, Clock::now());
        carryOut(which);
    }

    void keep(PasteboardSelection which, LoanId id)
    {
        slots_.at(which).ledger.keep(id, Clock::now());
        carryOut(which);
    }

    void giveBack(PasteboardSelection which, LoanId id)
    {
        slots_.at(which).ledger.giveBack(id, Clock::now());
        carryOut(which);
    }

    void userPasted()
    {
        for (auto& [which, slot] : slots_) {
            slot.ledger.userPasted(Clock::now());
            carryOut(which);
        }
    }

    void handOver()
    {
        const TimePoint deadline = Clock::now() + limits_.handOver;
        Slot& clipboard = slots_.at(PasteboardSelection::clipboard);
        clipboard.ledger.finish(Clock::now());
        answerWaiting(PasteboardSelection::clipboard);
        // A program that took the text to serve it (a manager copying every
        // change) takes the user's contents as well once they are back.
        bool reowner = false;
        if (const auto owed = clipboard.ledger.takeTake()) {
            reowner = owed->from.has_value();
            carryOutTake(PasteboardSelection::clipboard, *owed);
        }
        if (!clipboard.ledger.owned())
            return;
        const xcb_atom_t manager = display_.atom("CLIPBOARD_MANAGER");
        if (display_.ownerOf(manager) == XCB_WINDOW_NONE) {
            if (reowner) {
                free(display_.waitFor(
                    [&](const xcb_generic_event_t* event) {
                        return SelectionDisplay::typeOf(event) == XCB_SELECTION_CLEAR
                            && reinterpret_cast<const xcb_selection_clear_event_t*>(event)->selection
                            == clipboard.atom;
                    },
                    deadline));
            }
            return;
        }
        const xcb_atom_t saveTargets = display_.atom("SAVE_TARGETS");
        xcb_convert_selection(display_.connection(), display_.window(), manager, saveTargets, XCB_ATOM_NONE,
                              display_.serverTime());
        // The manager reads the clipboard meanwhile: events are served while waiting.
        free(display_.waitFor(
            [&](const xcb_generic_event_t* event) {
                return SelectionDisplay::isSelectionNotify(event, display_.window(), manager, saveTargets);
            },
            deadline));
    }

private:
    struct Slot {
        explicit Slot(Ledger ledger) : ledger(std::move(ledger)) {}
        xcb_atom_t atom = XCB_ATOM_NONE;
        // The server time this process last took it at.
        xcb_timestamp_t takenAt = XCB_CURRENT_TIME;
        // The server time it has owned it since, though it may have taken it
        // anew meanwhile: requests stamped earlier were meant for another owner.
        xcb_timestamp_t since = XCB_CURRENT_TIME;
        Ledger ledger;
    };

    void run()
    {
        while (true) {
            std::optional<Task> task;
            {
                std::lock_guard lock(mutex_);
                if (stopping_)
                    return;
                if (!tasks_.empty()) {
                    task = std::move(tasks_.front());
                    tasks_.pop_front();
                }
            }
            if (task) {
                (*task)(*this);
                continue;
            }
            display_.drain(nullptr);
            tick(Clock::now());
            if (display_.failed()) {
                stopOnLostDisplay();
                return;
            }
            if (display_.poll(std::nullopt, wake_.fd))
                wake_.clear();
        }
    }

    // The display is gone: what was asked still gets its answer (every call
    // on the connection now fails at once), nothing more is taken.
    void stopOnLostDisplay()
    {
        std::deque<Task> left;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            left.swap(tasks_);
        }
        for (auto& pending : left)
            pending(*this);
        answerEveryWaiting();
    }

    void answerEveryWaiting()
    {
        for (auto& [_, answer] : waiting_)
            answer.push(LoanProgress::displaced);
        waiting_.clear();
    }

    // SelectionDisplay::Handler

    void dispatch(const xcb_generic_event_t* event) override
    {
        const uint8_t type = SelectionDisplay::typeOf(event);
        if (display_.fixesEvent() && type == *display_.fixesEvent() + XCB_XFIXES_SELECTION_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            ownerChanged(notify->selection, notify->owner, notify->selection_timestamp);
            return;
        }
        switch (type) {
        case XCB_SELECTION_REQUEST:
            server_.request(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
            break;
        case XCB_SELECTION_CLEAR:
            // Without XFIXES the new owner is asked for; it may have changed again since.
            if (!display_.fixesEvent()) {
                const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
                ownerChanged(clear->selection, display_.ownerOf(clear->selection), clear->time);
            }
            break;
        case XCB_PROPERTY_NOTIFY: {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (notify->window != display_.window() && notify->state == XCB_PROPERTY_DELETE)
                server_.propertyDeleted(notify->window, notify->atom);
            break;
        }
        default:
            break;
        }
    }

    void tick(TimePoint now) override
    {
        for (auto& [which, slot] : slots_) {
            slot.ledger.settle(now);
            carryOut(which);
        }
        server_.tick(now);
    }

    // Only changes still to come: a moment already past has been handled.
    std::optional<TimePoint> nextWake() const override
    {
        const TimePoint now = Clock::now();
        std::optional<TimePoint> next = server_.nextWake();
        for (const auto& [_, slot] : slots_) {
            if (const auto change = slot.ledger.nextChange(); change && *change > now)
                next = std::min(next.value_or(TimePoint::max()), *change);
        }
        return next;
    }

    // SelectionServer::Owner

    SelectionServer::Offer offer(xcb_atom_t selection, xcb_timestamp_t time, ClipboardLoan::Request request) override
    {
        const auto found = slotOf(selection);
        if (!found)
            return {};
        auto& [which, slot] = *found;
        // A request stamped before this process took the selection was meant for the owner before.
        if (!slot->ledger.owned() || (time != XCB_CURRENT_TIME && time < slot->since))
            return {};
        if (request.text && slot->ledger.lending())
            request.fromManager =
                request.client == display_.clientOf(display_.ownerOf(display_.atom("CLIPBOARD_MANAGER")));
        const Ledger::Served served = slot->ledger.request(request, Clock::now());
        carryOut(which);
        SelectionServer::Offer offer{served.contents, slot->takenAt, std::nullopt};
        if (served.loan)
            offer.tag = SelectionServer::Tag{which, *served.loan, request, served.counts};
        return offer;
    }

    void replied(const SelectionServer::Tag& tag, SelectionServer::Reply how) override
    {
        Ledger& ledger = slots_.at(tag.selection).ledger;
        const TimePoint now = Clock::now();
        using Reply = SelectionServer::Reply;
        switch (how) {
        case Reply::whole:
            ledger.answered(tag.loan, tag.request, now);
            break;
        case Reply::partsStarted:
            if (tag.counts)
                ledger.transferStarted(tag.loan, now);
            break;
        case Reply::partSent:
            if (tag.counts)
                ledger.transferProgressed(tag.loan, now);
            break;
        case Reply::partsEnded:
        case Reply::partsDropped:
            if (tag.counts)
                ledger.transferEnded(tag.loan, how == Reply::partsEnded, now);
            else if (how == Reply::partsEnded)
                ledger.answered(tag.loan, tag.request, now);
            break;
        }
        carryOut(tag.selection);
    }

    // Ownership and its changes

    std::optional<std::pair<PasteboardSelection, Slot*>> slotOf(xcb_atom_t selection)
    {
        for (auto& [which, slot] : slots_) {
            if (slot.atom == selection)
                return std::pair(which, &slot);
        }
        return std::nullopt;
    }

    bool take(Slot& slot)
    {
        const xcb_timestamp_t time = display_.serverTime();
        if (!display_.take(slot.atom, time))
            return false;
        // Taken anew from itself, a request stamped in between (the user's
        // paste whose chord gave their contents back) was meant for it all the same.
        if (!slot.ledger.owned())
            slot.since = time;
        slot.takenAt = time;
        return true;
    }

    void ownerChanged(xcb_atom_t selection, xcb_window_t owner, xcb_timestamp_t time)
    {
        const auto found = slotOf(selection);
        if (!found || owner == display_.window())
            return;
        auto& [which, slot] = *found;
        // Taken back since: the change is older than this process's last take.
        if (!slot->ledger.owned() || (time != XCB_CURRENT_TIME && time < slot->takenAt))
            return;
        const uint32_t client = display_.clientOf(owner);
        const xcb_window_t manager = display_.ownerOf(display_.atom("CLIPBOARD_MANAGER"));
        const bool isManager = owner != XCB_WINDOW_NONE && manager != XCB_WINDOW_NONE
            && client == display_.clientOf(manager);
        slot->ledger.cleared(owner, client, isManager, Clock::now());
        carryOut(which);
    }

    // Does what the ledger asks for: answers the pastes waiting, and takes
    // the selection anew later, as a task: taking waits for a server time,
    // which must not happen inside another event's handling.
    void carryOut(PasteboardSelection which)
    {
        answerWaiting(which);
        if (auto owed = slots_.at(which).ledger.takeTake()) {
            post([which, owed = std::move(*owed)](Broker& broker) { broker.carryOutTake(which, owed); });
        }
    }

    void answerWaiting(PasteboardSelection which)
    {
        for (const auto& [id, progress] : slots_.at(which).ledger.takeAnswers()) {
            if (const auto waiting = waiting_.find({which, id}); waiting != waiting_.end()) {
                waiting->second.push(progress);
                waiting_.erase(waiting);
            }
        }
    }

    void carryOutTake(PasteboardSelection which, const Ledger::Take& owed)
    {
        Slot& slot = slots_.at(which);
        if (!slot.ledger.stillWanted(owed))
            return;
        const bool due = owed.from ? display_.ownerOf(slot.atom) == *owed.from : slot.ledger.owned();
        if (due && take(slot))
            slot.ledger.owns(owed.contents);
        carryOut(which);
    }

    SelectionContents textContents(const QByteArray& utf8)
    {
        const xcb_atom_t utf8String = display_.atom("UTF8_STRING");
        const xcb_atom_t plainUtf8 = display_.atom("text/plain;charset=utf-8");
        const xcb_atom_t plain = display_.atom("text/plain");
        return {
            {utf8String, utf8String, 8, utf8},
            {plainUtf8, plainUtf8, 8, utf8},
            {display_.atom("TEXT"), utf8String, 8, utf8},
            {plain, plain, 8, utf8},
            {XCB_ATOM_STRING, XCB_ATOM_STRING, 8, QString::fromUtf8(utf8).toLatin1()},
        };
    }

    Limits limits_;
    SelectionDisplay display_;
    Signal wake_;
    Signal quit_;
    SelectionReader reader_;
    SelectionServer server_;
    std::map<PasteboardSelection, Slot> slots_;
    std::map<std::pair<PasteboardSelection, LoanId>, Channel<LoanProgress>> waiting_;

    std::mutex mutex_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

// The main thread's handle on a loan the broker's thread keeps: every call
// carries the selection and the loan's id, so the handle may go at once.
class X11SelectionBroker::BrokerLoan final : public PasteboardLoan {
public:
    BrokerLoan(std::weak_ptr<Broker> broker, PasteboardSelection selection, LoanId id)
        : broker_(std::move(broker)), selection_(selection), id_(id)
    {
    }

    void chordSent(std::chrono::milliseconds fetchLimit) override
    {
        post([which = selection_, id = id_, fetchLimit](Broker& broker) { broker.chordSent(which, id, fetchLimit); });
    }

    QCoro::Task<LoanProgress> firstFetch() override
    {
        Channel<LoanProgress> answer;
        if (!post([which = selection_, id = id_, answer](Broker& broker) { broker.awaitFetch(which, id, answer); }))
            co_return LoanProgress::displaced;
        co_return (co_await answer.next()).value_or(LoanProgress::displaced);
    }

    void keep() override
    {
        post([which = selection_, id = id_](Broker& broker) { broker.keep(which, id); });
    }

    void giveBack() override
    {
        post([which = selection_, id = id_](Broker& broker) { broker.giveBack(which, id); });
    }

private:
    bool post(Broker::Task task) const
    {
        const auto broker = broker_.lock();
        return broker && broker->post(std::move(task));
    }

    std::weak_ptr<Broker> broker_;
    PasteboardSelection selection_;
    LoanId id_;
};

X11SelectionBroker::X11SelectionBroker() : X11SelectionBroker(Limits{}) {}

X11SelectionBroker::X11SelectionBroker(Limits limits) : broker_(std::make_shared<Broker>(limits)) {}

X11SelectionBroker::~X11SelectionBroker() = default;

void X11SelectionBroker::setText(PasteboardSelection selection, const QString& text)
{
    broker_->post([selection, text = text.toUtf8()](Broker& broker) { broker.setText(selection, text); });
}

QCoro::Task<Lending> X11SelectionBroker::lend(PasteboardSelection selection, QString text)
{
    Channel<std::optional<LoanId>> answer;
    const bool posted = broker_->post([selection, text = text.toUtf8(), answer](Broker& broker) {
        answer.push(broker.lend(selection, text));
    });
    if (!posted)
        co_return Lending();
    const auto id = co_await answer.next();
    if (!id || !*id)
        co_return Lending();
    co_return std::make_shared<BrokerLoan>(broker_, selection, **id);
}

void X11SelectionBroker::handOver()
{
    broker_->cutShort();
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    if (!broker_->post([done](Broker& broker) {
            broker.handOver();
            done->set_value();
        }))
        return;
    finished.wait_for(broker_->handOverWait());
}

void X11SelectionBroker::userPasted()
{
    broker_->post([](Broker& broker) { broker.userPasted(); });
}

} // namespace vellamor::platform
