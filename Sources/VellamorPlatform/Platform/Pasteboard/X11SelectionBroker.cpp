#include "Platform/Pasteboard/X11SelectionBroker.h"

#include "Platform/Pasteboard/SelectionTargets.h"
#include "Support/Async/Channel.h"

#include <QList>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace vellamor::platform {

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// The earlier of `until` and `candidate`, where `until` may be unset.
void keepEarliest(std::optional<TimePoint>& until, TimePoint candidate)
{
    until = until ? std::min(*until, candidate) : candidate;
}

template<typename T>
struct Freed {
    T* reply;
    explicit Freed(T* r) : reply(r) {}
    ~Freed() { free(reply); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

// One target's data as its owner typed it.
struct Item {
    xcb_atom_t target = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    uint8_t format = 8;
    QByteArray data;
};
using Contents = std::vector<Item>;

struct LoanState {
    quint64 id = 0;
    ClipboardLoan logic;
    QByteArray text;
    Contents lent;
    Contents user;
    std::optional<Channel<LoanProgress>> waiting;
    bool reclaiming = false;
};

struct Selection {
    xcb_atom_t atom = XCB_ATOM_NONE;
    bool owned = false;
    xcb_timestamp_t since = XCB_CURRENT_TIME;
    // What every request gets while no loan decides.
    Contents served;
    std::optional<LoanState> loan;
    // Who took the selection from a loan.
    xcb_window_t lostTo = XCB_WINDOW_NONE;
};

// A reply too large for one request, sent in parts as the requestor takes them.
struct Transfer {
    xcb_window_t requestor = XCB_WINDOW_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    Item item;
    qsizetype offset = 0;
    TimePoint lastStep;
    // The loan whose text this is, when it counts as the target taking it.
    std::optional<std::pair<PasteboardSelection, quint64>> loan;
};

} // namespace

class X11SelectionBroker::Broker {
public:
    explicit Broker(Limits limits) : limits_(limits)
    {
        int screenNumber = 0;
        connection_ = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection_))
            return;
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        auto screens = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        root_ = screens.data->root;
        clientMask_ = setup->resource_id_mask;
        const uint64_t maxBytes = uint64_t(xcb_get_maximum_request_length(connection_)) * 4;
        chunk_ = qsizetype(std::min<uint64_t>(maxBytes > 1024 ? maxBytes - 512 : 512, 256 * 1024));

        window_ = xcb_generate_id(connection_);
        const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        selections_[PasteboardSelection::clipboard].atom = atom("CLIPBOARD");
        selections_[PasteboardSelection::primary].atom = XCB_ATOM_PRIMARY;
        xcb_flush(connection_);
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake_ < 0)
            return;
        thread_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "vellamor-clip");
            run();
        });
    }

    ~Broker()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake();
        if (thread_.joinable())
            thread_.join();
        if (wake_ >= 0)
            close(wake_);
        for (auto& [_, selection] : selections_)
            endLoan(selection, LoanProgress::lost);
        if (connection_)
            xcb_disconnect(connection_);
    }

    bool running() const { return thread_.joinable(); }
    std::chrono::milliseconds handOverWait() const { return limits_.handOver + limits_.step; }

    // Runs `task` on the broker's thread, in call order; false once it has stopped.
    bool post(std::function<void()> task)
    {
        if (!running())
            return false;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return false;
            tasks_.push_back(std::move(task));
        }
        wake();
        return true;
    }

    // The rest runs on the broker's thread.

    void setText(PasteboardSelection which, const QByteArray& text)
    {
        Selection& selection = selections_[which];
        endLoan(selection, LoanProgress::lost);
        own(selection, textContents(text));
    }

    // The outcome, and the loan's id when lent.
    std::pair<Lending::Outcome, quint64> lend(PasteboardSelection which, const QByteArray& text)
    {
        // A copy made just before must be known: it holds the user's contents.
        drainEvents(nullptr);
        Selection& selection = selections_[which];
        const TimePoint now = Clock::now();
        settle(selection, now);
        std::optional<Contents> user;
        if (selection.owned) {
            user = selection.loan ? selection.loan->user : selection.served;
        } else if (selection.loan && ownerOf(selection.atom) == selection.lostTo) {
            // A manager holds the last text lent; the user's own contents are ours still.
            user = selection.loan->user;
        } else {
            user = readAll(selection.atom);
        }
        endLoan(selection, LoanProgress::lost);
        Contents lent = textContents(text);
        if (!own(selection, lent))
            return {Lending::Outcome::refused, 0};
        if (!user)
            return {Lending::Outcome::unreadable, 0};
        selection.served.clear();
        selection.loan = LoanState{++loanIds_, ClipboardLoan(limits_.loan, now), text, std::move(lent),
                                   std::move(*user), std::nullopt};
        return {Lending::Outcome::lent, loanIds_};
    }

    LoanState* loan(PasteboardSelection which, quint64 id)
    {
        auto& state = selections_[which].loan;
        return state && state->id == id ? &*state : nullptr;
    }

    void chordSent(PasteboardSelection which, quint64 id, std::chrono::milliseconds limit)
    {
        if (LoanState* state = loan(which, id))
            state->logic.chordSent(activeClient(), Clock::now(), limit);
    }

    void awaitFetch(PasteboardSelection which, quint64 id, Channel<LoanProgress> answer)
    {
        LoanState* state = loan(which, id);
        if (!state) {
            answer.push(LoanProgress::lost);
            return;
        }
        state->waiting = std::move(answer);
        settle(selections_[which], Clock::now());
    }

    void keep(PasteboardSelection which, quint64 id)
    {
        if (LoanState* state = loan(which, id)) {
            state->logic.keep();
            settle(selections_[which], Clock::now());
        }
    }

    void giveBack(PasteboardSelection which, quint64 id)
    {
        if (LoanState* state = loan(which, id)) {
            state->logic.giveBack();
            settle(selections_[which], Clock::now());
        }
    }

    void handOver()
    {
        Selection& clipboard = selections_[PasteboardSelection::clipboard];
        const TimePoint now = Clock::now();
        settle(clipboard, now);
        // A program that took the text to serve it (a manager copying every
        // change) takes the user's contents as well once they are back.
        bool reowner = false;
        if (clipboard.loan && clipboard.loan->logic.reclaimAt()) {
            reclaim(PasteboardSelection::clipboard, clipboard.loan->id);
            reowner = clipboard.owned;
        }
        if (clipboard.loan) {
            Contents user = std::move(clipboard.loan->user);
            endLoan(clipboard, LoanProgress::lost);
            // Taken anew, so that a manager reading every change reads these.
            if (clipboard.owned)
                own(clipboard, std::move(user));
        }
        if (!clipboard.owned)
            return;
        const xcb_atom_t manager = atom("CLIPBOARD_MANAGER");
        if (ownerOf(manager) == XCB_WINDOW_NONE) {
            if (reowner)
                free(waitFor(
                    [&](const xcb_generic_event_t* event) {
                        return (event->response_type & 0x7f) == XCB_SELECTION_CLEAR
                            && reinterpret_cast<const xcb_selection_clear_event_t*>(event)->selection
                            == clipboard.atom;
                    },
                    Clock::now() + limits_.handOver));
            return;
        }
        const xcb_atom_t saveTargets = atom("SAVE_TARGETS");
        xcb_convert_selection(connection_, window_, manager, saveTargets, XCB_ATOM_NONE, XCB_CURRENT_TIME);
        // The manager reads the clipboard meanwhile: events are served while waiting.
        free(waitFor(
            [&](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                    return false;
                const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
                return notify->requestor == window_ && notify->selection == manager;
            },
            Clock::now() + limits_.handOver));
    }

private:
    void wake()
    {
        if (wake_ < 0)
            return;
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
    }

    void run()
    {
        while (true) {
            std::function<void()> task;
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
                task();
                continue;
            }
            drainEvents(nullptr);
            tick(Clock::now());
            if (xcb_connection_has_error(connection_)) {
                // The display is gone: what was asked still gets its answer
                // (every call on the connection now fails at once), nothing more is taken.
                std::deque<std::function<void()>> left;
                {
                    std::lock_guard lock(mutex_);
                    stopping_ = true;
                    left.swap(tasks_);
                }
                for (auto& pending : left)
                    pending();
                for (auto& [_, selection] : selections_)
                    endLoan(selection, LoanProgress::lost);
                return;
            }
            pollOnce(std::nullopt, true);
        }
    }

    // Waits for the connection (and, on the idle loop, a posted task) until
    // `deadline` or the next change a loan makes by the clock.
    void pollOnce(std::optional<TimePoint> deadline, bool tasks)
    {
        xcb_flush(connection_);
        std::optional<TimePoint> until = deadline;
        if (const auto next = nextChange())
            keepEarliest(until, *next);
        for (const Transfer& transfer : transfers_)
            keepEarliest(until, transfer.lastStep + limits_.stalledTransfer);
        int timeout = -1;
        if (until) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 60'000));
        }
        pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wake_, POLLIN, 0}};
        poll(fds, tasks ? 2 : 1, timeout);
        if (tasks && (fds[1].revents & POLLIN)) {
            uint64_t count = 0;
            [[maybe_unused]] const auto read = ::read(wake_, &count, sizeof count);
        }
    }

    // Handles every event that has come in; returns the first one `wanted`
    // takes (the caller frees it), leaving the rest queued.
    xcb_generic_event_t* drainEvents(const std::function<bool(const xcb_generic_event_t*)>& wanted)
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if (wanted && wanted(event))
                return event;
            dispatch(event);
            free(event);
        }
        return nullptr;
    }

    // Serves everything else meanwhile.
    xcb_generic_event_t* waitFor(const std::function<bool(const xcb_generic_event_t*)>& wanted, TimePoint deadline)
    {
        while (true) {
            xcb_flush(connection_);
            if (xcb_generic_event_t* event = drainEvents(wanted))
                return event;
            if (xcb_connection_has_error(connection_))
                return nullptr;
            const TimePoint now = Clock::now();
            tick(now);
            if (now >= deadline)
                return nullptr;
            pollOnce(deadline, false);
        }
    }

    void dispatch(const xcb_generic_event_t* event)
    {
        switch (event->response_type & 0x7f) {
        case XCB_SELECTION_REQUEST:
            serve(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
            break;
        case XCB_SELECTION_CLEAR:
            cleared(reinterpret_cast<const xcb_selection_clear_event_t*>(event)->selection);
            break;
        case XCB_PROPERTY_NOTIFY: {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (notify->window != window_ && notify->state == XCB_PROPERTY_DELETE)
                continueTransfer(notify->window, notify->atom);
            break;
        }
        default:
            break;
        }
    }

    // Only changes still to come: a moment already past has been handled.
    std::optional<TimePoint> nextChange() const
    {
        const TimePoint now = Clock::now();
        std::optional<TimePoint> next;
        for (const auto& [_, selection] : selections_) {
            if (!selection.loan || selection.loan->reclaiming)
                continue;
            if (const auto change = selection.loan->logic.nextChange(); change && *change > now)
                keepEarliest(next, *change);
        }
        return next;
    }

    void tick(TimePoint now)
    {
        for (auto& [which, selection] : selections_) {
            settle(selection, now);
            if (selection.loan && selection.loan->logic.phase(now) == ClipboardLoan::Phase::lost) {
                const auto at = selection.loan->logic.reclaimAt();
                if (at && now >= *at && !selection.loan->reclaiming) {
                    // Taking a selection waits for a server time: not from inside an event.
                    selection.loan->reclaiming = true;
                    post([this, target = which, id = selection.loan->id] { reclaim(target, id); });
                }
            }
        }
        for (auto it = transfers_.begin(); it != transfers_.end();) {
            if (now - it->lastStep < limits_.stalledTransfer) {
                ++it;
                continue;
            }
            finishTransfer(*it, false);
            it = transfers_.erase(it);
        }
    }

    // Moves a loan on by the clock: answers the paste waiting for its first
    // fetch, and hands the selection to the user's contents or the text
    // once the loan is over.
    void settle(Selection& selection, TimePoint now)
    {
        if (!selection.loan)
            return;
        LoanState& state = *selection.loan;
        const auto phase = state.logic.phase(now);
        if (state.waiting) {
            if (const auto progress = state.logic.progress(now)) {
                state.waiting->push(*progress);
                state.waiting.reset();
            }
        }
        if (phase == ClipboardLoan::Phase::returned || phase == ClipboardLoan::Phase::kept) {
            selection.served = phase == ClipboardLoan::Phase::kept ? std::move(state.lent) : std::move(state.user);
            endLoan(selection, LoanProgress::fetched);
            // Clipboard managers read a selection when it changes hands: taken
            // anew, the user's contents are what they keep, not the text.
            if (phase == ClipboardLoan::Phase::returned && selection.owned) {
                const xcb_atom_t atomOwned = selection.atom;
                post([this, atomOwned] { retake(atomOwned); });
            }
        } else if (phase == ClipboardLoan::Phase::lost && !state.logic.reclaimAt()) {
            endLoan(selection, LoanProgress::lost);
        }
    }

    static void endLoan(Selection& selection, LoanProgress answer)
    {
        if (selection.loan && selection.loan->waiting)
            selection.loan->waiting->push(answer);
        selection.loan.reset();
    }

    // The selection named `atomNamed`, and its key; none for one this process never takes.
    std::optional<std::pair<PasteboardSelection, Selection*>> selectionFor(xcb_atom_t atomNamed)
    {
        for (auto& [which, selection] : selections_) {
            if (selection.atom == atomNamed)
                return std::pair(which, &selection);
        }
        return std::nullopt;
    }

    void retake(xcb_atom_t atomOwned)
    {
        const auto found = selectionFor(atomOwned);
        if (found && found->second->owned && !found->second->loan)
            own(*found->second, std::move(found->second->served));
    }

    void reclaim(PasteboardSelection which, quint64 id)
    {
        Selection& selection = selections_[which];
        if (!selection.loan || selection.loan->id != id)
            return;
        Contents user = std::move(selection.loan->user);
        const bool stillThere = ownerOf(selection.atom) == selection.lostTo;
        selection.loan.reset();
        if (stillThere)
            own(selection, std::move(user));
    }

    void cleared(xcb_atom_t atomCleared)
    {
        const auto found = selectionFor(atomCleared);
        // Taken back since: the notice is older than the ownership.
        if (!found || !found->second->owned || ownerOf(atomCleared) == window_)
            return;
        Selection& selection = *found->second;
        selection.owned = false;
        selection.served.clear();
        if (selection.loan)
            post([this, which = found->first, id = selection.loan->id] { lostLoan(which, id); });
    }

    // Another program took the selection from a loan: does it hold the text?
    void lostLoan(PasteboardSelection which, quint64 id)
    {
        Selection& selection = selections_[which];
        if (!selection.loan || selection.loan->id != id || selection.owned)
            return;
        selection.lostTo = ownerOf(selection.atom);
        const auto read = convert(selection.atom, atom("UTF8_STRING"), Clock::now() + limits_.step);
        const bool holdsText = read && *read && (*read)->data == selection.loan->text;
        selection.loan->logic.lost(holdsText, Clock::now());
        settle(selection, Clock::now());
    }

    bool own(Selection& selection, Contents contents)
    {
        const xcb_timestamp_t time = serverTime();
        xcb_set_selection_owner(connection_, window_, selection.atom, time);
        const bool owned = ownerOf(selection.atom) == window_;
        selection.owned = owned;
        selection.since = time;
        selection.served = owned ? std::move(contents) : Contents{};
        return owned;
    }

    // A timestamp of the server's: taking a selection at CurrentTime is refused by some clients.
    xcb_timestamp_t serverTime()
    {
        const xcb_atom_t property = atom("VELLAMOR_TIME");
        xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, property, XCB_ATOM_INTEGER, 32, 0, nullptr);
        xcb_generic_event_t* event = waitFor(
            [&](const xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                return notify->window == window_ && notify->atom == property;
            },
            Clock::now() + limits_.step);
        const xcb_timestamp_t time =
            event ? reinterpret_cast<const xcb_property_notify_event_t*>(event)->time : XCB_CURRENT_TIME;
        free(event);
        return time;
    }

    xcb_window_t ownerOf(xcb_atom_t selection)
    {
        Freed reply(xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection),
                                                  nullptr));
        return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    }

    uint32_t clientOf(xcb_window_t window) const { return window & ~clientMask_; }

    std::optional<uint32_t> activeClient()
    {
        const auto cookie =
            xcb_get_property(connection_, 0, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1);
        Freed reply(xcb_get_property_reply(connection_, cookie, nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.reply) != 4)
            return std::nullopt;
        const xcb_window_t active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.reply));
        if (active == XCB_WINDOW_NONE)
            return std::nullopt;
        return clientOf(active);
    }

    xcb_atom_t atom(const QByteArray& name)
    {
        if (const auto known = atoms_.find(name); known != atoms_.end())
            return known->second;
        const auto cookie = xcb_intern_atom(connection_, 0, uint16_t(name.size()), name.constData());
        Freed reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        atoms_[name] = value;
        names_[value] = name;
        return value;
    }

    QByteArray nameOf(xcb_atom_t value)
    {
        if (const auto known = names_.find(value); known != names_.end())
            return known->second;
        Freed reply(xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, value), nullptr));
        QByteArray name;
        if (reply)
            name = QByteArray(xcb_get_atom_name_name(reply.reply), xcb_get_atom_name_name_length(reply.reply));
        names_[value] = name;
        atoms_[name] = value;
        return name;
    }

    Contents textContents(const QByteArray& utf8)
    {
        const xcb_atom_t utf8String = atom("UTF8_STRING");
        return {
            {utf8String, utf8String, 8, utf8},
            {atom("text/plain;charset=utf-8"), atom("text/plain;charset=utf-8"), 8, utf8},
            {atom("TEXT"), utf8String, 8, utf8},
            {atom("text/plain"), atom("text/plain"), 8, utf8},
            {XCB_ATOM_STRING, XCB_ATOM_STRING, 8, QString::fromUtf8(utf8).toLatin1()},
        };
    }

    // Another owner's contents; none when it did not answer in time.
    std::optional<Contents> readAll(xcb_atom_t selection)
    {
        if (ownerOf(selection) == XCB_WINDOW_NONE)
            return Contents{};
        const TimePoint deadline = Clock::now() + limits_.snapshot;
        const auto targets = convert(selection, atom("TARGETS"), deadline);
        if (!targets)
            return std::nullopt;
        QList<QByteArray> offered;
        if (*targets && (*targets)->format == 32) {
            const auto* atoms = reinterpret_cast<const xcb_atom_t*>((*targets)->data.constData());
            for (qsizetype i = 0; i < (*targets)->data.size() / qsizetype(sizeof(xcb_atom_t)); ++i)
                offered << nameOf(atoms[i]);
        }
        Contents contents;
        for (const QByteArray& name : SelectionTargets::worthKeeping(offered)) {
            const auto item = convert(selection, atom(name), deadline);
            if (!item)
                return std::nullopt;
            if (*item)
                contents.push_back(std::move(**item));
        }
        return contents;
    }

    // One target of another owner: none when it did not answer in time (or
    // the connection failed), an empty optional when it refused.
    std::optional<std::optional<Item>> convert(xcb_atom_t selection, xcb_atom_t target, TimePoint deadline)
    {
        const xcb_atom_t property = atom("VELLAMOR_SELECTION");
        const auto stepDeadline = [&] { return std::min(deadline, Clock::now() + limits_.step); };
        xcb_delete_property(connection_, window_, property);
        xcb_convert_selection(connection_, window_, selection, target, property, XCB_CURRENT_TIME);
        xcb_generic_event_t* answer = waitFor(
            [&](const xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                    return false;
                const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
                return notify->requestor == window_ && notify->selection == selection && notify->target == target;
            },
            stepDeadline());
        if (!answer)
            return std::nullopt;
        const bool refused = reinterpret_cast<const xcb_selection_notify_event_t*>(answer)->property == XCB_ATOM_NONE;
        free(answer);
        if (refused)
            return std::optional<Item>();
        auto first = takeProperty(property);
        if (!first)
            return std::nullopt;
        if (first->type != atom("INCR"))
            return std::optional<Item>(Item{target, first->type, first->format, std::move(first->data)});
        Item item{target, XCB_ATOM_NONE, 8, {}};
        while (true) {
            xcb_generic_event_t* part = waitFor(
                [&](const xcb_generic_event_t* e) {
                    if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                        return false;
                    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                    return notify->window == window_ && notify->atom == property
                        && notify->state == XCB_PROPERTY_NEW_VALUE;
                },
                stepDeadline());
            if (!part)
                return std::nullopt;
            free(part);
            auto chunk = takeProperty(property);
            if (!chunk)
                return std::nullopt;
            if (chunk->data.isEmpty())
                return std::optional<Item>(std::move(item));
            item.type = chunk->type;
            item.format = chunk->format;
            item.data += chunk->data;
        }
    }

    // Reads and deletes a property of this process's window.
    std::optional<Item> takeProperty(xcb_atom_t property)
    {
        const auto cookie = xcb_get_property(connection_, 1, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                             UINT32_MAX / 4);
        Freed reply(xcb_get_property_reply(connection_, cookie, nullptr));
        if (!reply)
            return std::nullopt;
        const int length = xcb_get_property_value_length(reply.reply);
        return Item{XCB_ATOM_NONE, reply->type, reply->format,
                    QByteArray(static_cast<const char*>(xcb_get_property_value(reply.reply)), length)};
    }

    void serve(const xcb_selection_request_event_t& request)
    {
        const auto found = selectionFor(request.selection);
        Selection* selection = found ? found->second : nullptr;
        const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
        bool answered = false;
        if (selection && selection->owned
            && (request.time == XCB_CURRENT_TIME || request.time >= selection->since)) {
            const TimePoint now = Clock::now();
            settle(*selection, now);
            ClipboardLoan::Request asked{clientOf(request.requestor), SelectionTargets::isText(nameOf(request.target)),
                                         false};
            std::optional<std::pair<PasteboardSelection, quint64>> counted;
            const Contents* contents = &selection->served;
            if (selection->loan) {
                asked.fromManager = asked.text && asked.client == clientOf(ownerOf(atom("CLIPBOARD_MANAGER")));
                if (selection->loan->logic.counts(asked))
                    counted = std::pair(found->first, selection->loan->id);
                const bool text = selection->loan->logic.serve(asked, now) == ClipboardLoan::Serve::text;
                contents = text ? &selection->loan->lent : &selection->loan->user;
            }
            answered = answer(request.requestor, property, request.target, *contents, selection->since, counted);
        }
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = answered ? property : xcb_atom_t(XCB_ATOM_NONE);
        xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(connection_);
    }

    bool answer(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target, const Contents& contents,
                xcb_timestamp_t since, std::optional<std::pair<PasteboardSelection, quint64>> counted)
    {
        if (target == atom("TARGETS")) {
            std::vector<xcb_atom_t> targets{atom("TARGETS"), atom("TIMESTAMP"), atom("MULTIPLE")};
            for (const Item& item : contents)
                targets.push_back(item.target);
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                                uint32_t(targets.size()), targets.data());
            return true;
        }
        if (target == atom("TIMESTAMP")) {
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                                &since);
            return true;
        }
        if (target == atom("MULTIPLE"))
            return answerMultiple(requestor, property, contents, since);
        const auto item = std::find_if(contents.begin(), contents.end(),
                                       [&](const Item& candidate) { return candidate.target == target; });
        if (item == contents.end())
            return false;
        const TimePoint now = Clock::now();
        if (item->data.size() > chunk_) {
            const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &events);
            const uint32_t size = uint32_t(item->data.size());
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, atom("INCR"), 32, 1, &size);
            transfers_.push_back({requestor, property, *item, 0, now, counted});
            if (LoanState* state = counted ? loan(counted->first, counted->second) : nullptr)
                state->logic.transferStarted(now);
            return true;
        }
        const uint32_t units = uint32_t(item->data.size() / std::max(1, item->format / 8));
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, item->type, item->format, units,
                            item->data.constData());
        if (LoanState* state = counted ? loan(counted->first, counted->second) : nullptr) {
            state->logic.fetched(now);
            settle(selections_[counted->first], now);
        }
        return true;
    }

    bool answerMultiple(xcb_window_t requestor, xcb_atom_t property, const Contents& contents, xcb_timestamp_t since)
    {
        const auto cookie =
            xcb_get_property(connection_, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4);
        Freed reply(xcb_get_property_reply(connection_, cookie, nullptr));
        if (!reply || reply->format != 32)
            return false;
        const int count = xcb_get_property_value_length(reply.reply) / 4;
        std::vector<xcb_atom_t> pairs(static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.reply)),
                                      static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.reply)) + count);
        for (int i = 0; i + 1 < count; i += 2) {
            if (pairs[i] == atom("MULTIPLE") || !answer(requestor, pairs[i + 1], pairs[i], contents, since, {}))
                pairs[i + 1] = XCB_ATOM_NONE;
        }
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, reply->type, 32,
                            uint32_t(pairs.size()), pairs.data());
        return true;
    }

    void continueTransfer(xcb_window_t requestor, xcb_atom_t property)
    {
        const auto transfer = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) {
            return t.requestor == requestor && t.property == property;
        });
        if (transfer == transfers_.end())
            return;
        const TimePoint now = Clock::now();
        const QByteArray part = transfer->item.data.mid(transfer->offset, chunk_);
        const Item& item = transfer->item;
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, item.type, item.format,
                            uint32_t(part.size() / std::max(1, item.format / 8)), part.constData());
        transfer->offset += part.size();
        transfer->lastStep = now;
        if (!part.isEmpty()) {
            if (LoanState* state = transfer->loan ? loan(transfer->loan->first, transfer->loan->second) : nullptr)
                state->logic.transferProgressed(now);
            return;
        }
        finishTransfer(*transfer, true);
        transfers_.erase(transfer);
    }

    void finishTransfer(const Transfer& transfer, bool whole)
    {
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(connection_, transfer.requestor, XCB_CW_EVENT_MASK, &none);
        LoanState* state = transfer.loan ? loan(transfer.loan->first, transfer.loan->second) : nullptr;
        if (!state)
            return;
        const TimePoint now = Clock::now();
        state->logic.transferEnded(now);
        if (whole)
            state->logic.fetched(now);
        settle(selections_[transfer.loan->first], now);
    }

    Limits limits_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    uint32_t clientMask_ = 0;
    qsizetype chunk_ = 0;
    std::map<QByteArray, xcb_atom_t> atoms_;
    std::map<xcb_atom_t, QByteArray> names_;
    std::map<PasteboardSelection, Selection> selections_;
    std::vector<Transfer> transfers_;
    quint64 loanIds_ = 0;

    int wake_ = -1;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

// The main thread's handle on a loan the broker's thread keeps.
class X11SelectionBroker::BrokerLoan final : public PasteboardLoan {
public:
    BrokerLoan(std::weak_ptr<Broker> broker, PasteboardSelection selection, quint64 id)
        : broker_(std::move(broker)), selection_(selection), id_(id)
    {
    }

    void chordSent(std::chrono::milliseconds fetchLimit) override
    {
        onBroker([this, fetchLimit](Broker& broker) { broker.chordSent(selection_, id_, fetchLimit); });
    }

    QCoro::Task<LoanProgress> firstFetch() override
    {
        Channel<LoanProgress> answer;
        if (!onBroker([this, answer](Broker& broker) { broker.awaitFetch(selection_, id_, answer); }))
            co_return LoanProgress::lost;
        co_return (co_await answer.next()).value_or(LoanProgress::lost);
    }

    void keep() override
    {
        onBroker([this](Broker& broker) { broker.keep(selection_, id_); });
    }

    void giveBack() override
    {
        onBroker([this](Broker& broker) { broker.giveBack(selection_, id_); });
    }

private:
    bool onBroker(std::function<void(Broker&)> call)
    {
        const auto broker = broker_.lock();
        return broker && broker->post([raw = broker.get(), call = std::move(call)] { call(*raw); });
    }

    std::weak_ptr<Broker> broker_;
    PasteboardSelection selection_;
    quint64 id_;
};

X11SelectionBroker::X11SelectionBroker() : X11SelectionBroker(Limits{}) {}

X11SelectionBroker::X11SelectionBroker(Limits limits) : broker_(std::make_shared<Broker>(limits)) {}

X11SelectionBroker::~X11SelectionBroker() = default;

void X11SelectionBroker::setText(PasteboardSelection selection, const QString& text)
{
    broker_->post([raw = broker_.get(), selection, text = text.toUtf8()] { raw->setText(selection, text); });
}

QCoro::Task<Lending> X11SelectionBroker::lend(PasteboardSelection selection, QString text)
{
    Channel<std::pair<Lending::Outcome, quint64>> answer;
    const bool posted = broker_->post(
        [raw = broker_.get(), selection, text = text.toUtf8(), answer] { answer.push(raw->lend(selection, text)); });
    if (!posted)
        co_return Lending{};
    const auto result = co_await answer.next();
    if (!result || result->first != Lending::Outcome::lent)
        co_return Lending{result ? result->first : Lending::Outcome::refused, nullptr};
    co_return Lending{Lending::Outcome::lent, std::make_shared<BrokerLoan>(broker_, selection, result->second)};
}

void X11SelectionBroker::handOver()
{
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    if (!broker_->post([raw = broker_.get(), done] {
            raw->handOver();
            done->set_value();
        }))
        return;
    // Bounded: a task under way when quitting began may still be reading a slow owner.
    finished.wait_for(broker_->handOverWait());
}

} // namespace vellamor::platform
