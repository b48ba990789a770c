// GLib's headers come before Qt's (Qt's keyword macros would rewrite GLib names).
#include <atspi/atspi.h>

#include "Platform/Accessibility/AtspiAccessibilityBus.h"

#include "Platform/Accessibility/AtspiWorker.h"

#include <QByteArray>
#include <QGuiApplication>

#include <vector>

namespace vellamor::platform {

namespace {

// A search of one application's active window stops here; real dialogs have
// a few hundred objects, a runaway tree (a huge table) must not freeze us.
constexpr int searchLimit = 4000;
constexpr int depthLimit = 64;

class GErrorSlot {
public:
    GErrorSlot() = default;
    ~GErrorSlot() { clear(); }
    GErrorSlot(const GErrorSlot&) = delete;
    GErrorSlot& operator=(const GErrorSlot&) = delete;

    GError** out()
    {
        clear();
        return &error_;
    }
    bool failed() const { return error_ != nullptr; }

private:
    void clear()
    {
        if (error_)
            g_error_free(error_);
        error_ = nullptr;
    }

    GError* error_ = nullptr;
};

// Takes ownership of one reference.
template<typename T>
class GObjectRef {
public:
    GObjectRef() = default;
    explicit GObjectRef(T* object) : object_(object) {}
    ~GObjectRef()
    {
        if (object_)
            g_object_unref(object_);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// Made on the worker; its reference is given back there.
class AtspiElement final : public AccessibleElement {
public:
    // Holds a reference of its own on `object`; null for this process's stand-in.
    AtspiElement(std::shared_ptr<AtspiWorker> worker, AtspiAccessible* object, std::optional<qint64> processId)
        : worker_(std::move(worker))
        , object_(object ? ATSPI_ACCESSIBLE(g_object_ref(object)) : nullptr)
        , processId_(processId)
    {
        if (!object_)
            return;
        // Kept here, so that comparing two elements asks nothing of the worker.
        const AtspiObject* atspi = ATSPI_OBJECT(object_);
        if (atspi->app && atspi->app->bus_name)
            busName_ = QByteArray(atspi->app->bus_name);
        if (atspi->path)
            path_ = QByteArray(atspi->path);
    }
    ~AtspiElement() override
    {
        if (object_)
            worker_->post([object = object_] { g_object_unref(object); });
    }
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;

    // Only for jobs on the worker.
    AtspiAccessible* object() const { return object_; }
    std::optional<qint64> knownProcessId() const { return processId_; }
    const QByteArray& busName() const { return busName_; }
    const QByteArray& path() const { return path_; }

private:
    std::shared_ptr<AtspiWorker> worker_;
    AtspiAccessible* object_;
    std::optional<qint64> processId_;
    QByteArray busName_;
    QByteArray path_;
};

AtspiAccessible* objectOf(const AccessibleElement& element)
{
    const auto* atspi = dynamic_cast<const AtspiElement*>(&element);
    return atspi ? atspi->object() : nullptr;
}

// The element's text interface; empty for a foreign element or one without it.
GObjectRef<AtspiText> textOf(const AccessibleElement& element)
{
    AtspiAccessible* object = objectOf(element);
    return GObjectRef<AtspiText>(object ? atspi_accessible_get_text_iface(object) : nullptr);
}

// The element's editable-text interface; empty for a foreign element or one without it.
GObjectRef<AtspiEditableText> editableTextOf(const AccessibleElement& element)
{
    AtspiAccessible* object = objectOf(element);
    return GObjectRef<AtspiEditableText>(object ? atspi_accessible_get_editable_text_iface(object) : nullptr);
}

std::optional<qint64> processIdOf(AtspiAccessible* object)
{
    GErrorSlot error;
    const guint pid = atspi_accessible_get_process_id(object, error.out());
    if (error.failed() || pid == 0)
        return std::nullopt;
    return static_cast<qint64>(pid);
}

// Asks the application again: a toolkit may not announce every change
// (Qt keeps a field "focused" after its window lost the focus to another
// application).
bool hasFreshState(AtspiAccessible* object, AtspiStateType state)
{
    atspi_accessible_clear_cache(object);
    GObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    GObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

using SearchClock = std::chrono::steady_clock;

// Depth first through the children, for the object that has the focus.
AtspiAccessible* findFocused(AtspiAccessible* object, int depth, int& budget, SearchClock::time_point deadline)
{
    if (--budget < 0 || depth > depthLimit || SearchClock::now() >= deadline)
        return nullptr;
    if (hasFreshState(object, ATSPI_STATE_FOCUSED))
        return ATSPI_ACCESSIBLE(g_object_ref(object));
    GErrorSlot error;
    const gint count = atspi_accessible_get_child_count(object, error.out());
    for (gint i = 0; !error.failed() && i < count && budget >= 0; ++i) {
        GErrorSlot childError;
        GObjectRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(object, i, childError.out()));
        if (!child)
            continue;
        if (AtspiAccessible* found = findFocused(child.get(), depth + 1, budget, deadline))
            return found;
    }
    return nullptr;
}

bool ownProcessHasFocus()
{
    return QGuiApplication::instance() && QGuiApplication::focusWindow() != nullptr;
}

} // namespace

// What the focus events told, on the worker.
struct AtspiAccessibilityBus::Focus {
    qint64 ownProcessId = 0;
    AtspiEventListener* listener = nullptr;
    AtspiAccessible* lastFocused = nullptr;

    explicit Focus(qint64 ownPid)
        : ownProcessId(ownPid)
    {
        listener = atspi_event_listener_new(&Focus::onEvent, this, nullptr);
        GErrorSlot error;
        atspi_event_listener_register(listener, "object:state-changed:focused", error.out());
        atspi_event_listener_register(listener, "focus:", error.out());
    }

    ~Focus()
    {
        GErrorSlot error;
        atspi_event_listener_deregister(listener, "object:state-changed:focused", error.out());
        atspi_event_listener_deregister(listener, "focus:", error.out());
        g_object_unref(listener);
        remember(nullptr);
    }

    Focus(const Focus&) = delete;
    Focus& operator=(const Focus&) = delete;

    void remember(AtspiAccessible* object)
    {
        if (object == lastFocused)
            return;
        if (object)
            g_object_ref(object);
        if (lastFocused)
            g_object_unref(lastFocused);
        lastFocused = object;
    }

    static void onEvent(AtspiEvent* event, void* data)
    {
        auto* focus = static_cast<Focus*>(data);
        if (event->source) {
            const bool focusEvent = qstrncmp(event->type, "focus:", 6) == 0;
            if (focusEvent || event->detail1 != 0)
                focus->remember(event->source);
            else if (event->source == focus->lastFocused)
                focus->remember(nullptr);
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    // The remembered element, while it still says it has the focus.
    AtspiAccessible* stillFocused()
    {
        if (!lastFocused)
            return nullptr;
        if (processIdOf(lastFocused) == ownProcessId)
            return nullptr;
        if (!hasFreshState(lastFocused, ATSPI_STATE_FOCUSED))
            return nullptr;
        return lastFocused;
    }

    // A new reference to the focused object of another application's active
    // window, unless the search has run past `deadline`: its caller no longer
    // waits then, and what comes after it should not wait for it.
    AtspiAccessible* searchDesktop(SearchClock::time_point deadline)
    {
        GObjectRef<AtspiAccessible> desktop(atspi_get_desktop(0));
        if (!desktop)
            return nullptr;
        GErrorSlot error;
        const gint apps = atspi_accessible_get_child_count(desktop.get(), error.out());
        for (gint a = 0; !error.failed() && a < apps && SearchClock::now() < deadline; ++a) {
            GErrorSlot appError;
            GObjectRef<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), a, appError.out()));
            if (!app)
                continue;
            const auto pid = processIdOf(app.get());
            if (!pid || *pid == ownProcessId)
                continue;
            GErrorSlot countError;
            const gint windows = atspi_accessible_get_child_count(app.get(), countError.out());
            for (gint w = 0; !countError.failed() && w < windows; ++w) {
                GErrorSlot windowError;
                GObjectRef<AtspiAccessible> window(
                    atspi_accessible_get_child_at_index(app.get(), w, windowError.out()));
                if (!window || !hasFreshState(window.get(), ATSPI_STATE_ACTIVE))
                    continue;
                int budget = searchLimit;
                if (AtspiAccessible* found = findFocused(window.get(), 0, budget, deadline))
                    return found;
            }
        }
        return nullptr;
    }

    // The focused element of another application, remembered from now on.
    std::shared_ptr<AccessibleElement> focused(const std::shared_ptr<AtspiWorker>& worker, SearchClock::time_point deadline)
    {
        if (AtspiAccessible* object = stillFocused())
            return std::make_shared<AtspiElement>(worker, object, processIdOf(object));
        GObjectRef<AtspiAccessible> found(searchDesktop(deadline));
        if (!found)
            return nullptr;
        remember(found.get());
        return std::make_shared<AtspiElement>(worker, found.get(), processIdOf(found.get()));
    }
};

namespace {

// The text of a field that answers an empty whole text while it counts
// characters (GTK 4's entries) is asked for by its count.
std::optional<QString> readText(AtspiText* text)
{
    const auto read = [text](gint end) -> std::optional<QString> {
        GErrorSlot error;
        gchar* content = atspi_text_get_text(text, 0, end, error.out());
        if (error.failed() || !content) {
            g_free(content);
            return std::nullopt;
        }
        QString result = QString::fromUtf8(content);
        g_free(content);
        return result;
    };
    auto whole = read(-1);
    if (!whole || !whole->isEmpty())
        return whole;
    GErrorSlot error;
    const gint count = atspi_text_get_character_count(text, error.out());
    if (error.failed() || count <= 0)
        return whole;
    auto counted = read(count);
    if (!counted || counted->isEmpty())
        return std::nullopt;
    return counted;
}

bool readOnly(AtspiAccessible* object)
{
    GObjectRef<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    if (!states)
        return false;
    // Qt and Chromium say so.
    if (atspi_state_set_contains(states.get(), ATSPI_STATE_READ_ONLY))
        return true;
    if (atspi_state_set_contains(states.get(), ATSPI_STATE_EDITABLE))
        return false;
    // GTK's read-only views and entries only lack the editable state. Only a
    // text field counts so: Firefox gives every document and paragraph the
    // editable-text interface, editable or not, and Chromium's fields
    // (editable ones too) show none.
    GErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(object, error.out());
    if (error.failed()
        || (role != ATSPI_ROLE_TEXT && role != ATSPI_ROLE_ENTRY && role != ATSPI_ROLE_PASSWORD_TEXT))
        return false;
    return static_cast<bool>(GObjectRef<AtspiEditableText>(atspi_accessible_get_editable_text_iface(object)));
}

std::optional<AccessibleRange> readSelection(AtspiText* text)
{
    GErrorSlot error;
    const gint count = atspi_text_get_n_selections(text, error.out());
    if (error.failed() || count <= 0)
        return std::nullopt;
    AtspiRange* range = atspi_text_get_selection(text, 0, error.out());
    if (error.failed() || !range) {
        g_free(range);
        return std::nullopt;
    }
    const AccessibleRange result{range->start_offset, range->end_offset};
    g_free(range);
    if (result.start == result.end)
        return std::nullopt;
    return result;
}

// 0, `unanswered` when the call failed on the way, -1 when refused.
int writeStatus(bool failed, gboolean ok)
{
    if (failed)
        return AccessibilityBus::unanswered;
    return ok ? 0 : -1;
}

const AtspiElement* atspiElement(const AccessibleElement& element)
{
    return dynamic_cast<const AtspiElement*>(&element);
}

} // namespace

AtspiAccessibilityBus::AtspiAccessibilityBus(qint64 ownProcessId, std::chrono::milliseconds callTimeout)
    : worker_(AtspiWorker::shared())
    , ownProcessId_(ownProcessId)
    , answerLimit_(callTimeout)
    , focus_(std::make_shared<std::unique_ptr<Focus>>())
{
    if (!worker_->isConnected())
        return;
    // The caller stops waiting after `callTimeout`; the worker waits longer
    // for the answer, which a loaded machine may give late: libatspi leaks
    // the call it gives up on, and sends a hung application pings. A hung
    // application holds the worker that long at most, and the calls queued
    // meanwhile whose callers gave up are skipped.
    const auto timeout = static_cast<gint>(10 * callTimeout.count());
    // Jobs run in order: every later one finds the listener in place.
    worker_->post([timeout, ownProcessId, focus = focus_] {
        atspi_set_timeout(timeout, timeout);
        *focus = std::make_unique<Focus>(ownProcessId);
    });
}

AtspiAccessibilityBus::~AtspiAccessibilityBus()
{
    worker_->post([focus = focus_] { focus->reset(); });
}

bool AtspiAccessibilityBus::isConnected() const
{
    return worker_->isConnected();
}

template<typename T>
QCoro::Task<T> AtspiAccessibilityBus::call(std::function<T()> job, T fallback, std::chrono::milliseconds limit) const
{
    if (!worker_->isConnected())
        co_return fallback;
    auto asked = worker_->ask<T>(std::move(job), limit);
    auto answer = co_await std::move(asked);
    co_return answer ? std::move(*answer) : std::move(fallback);
}

QCoro::Task<AccessibilityBus::Element> AtspiAccessibilityBus::focusedElement()
{
    if (ownProcessHasFocus())
        co_return std::make_shared<AtspiElement>(worker_, nullptr, ownProcessId_);
    // The search may walk thousands of objects.
    const auto limit = 3 * answerLimit_;
    const auto deadline = SearchClock::now() + limit;
    std::function<Element()> job = [worker = worker_, focus = focus_, deadline]() -> Element {
        return *focus ? (*focus)->focused(worker, deadline) : nullptr;
    };
    co_return co_await call<Element>(std::move(job), nullptr, limit);
}

std::optional<qint64> AtspiAccessibilityBus::processId(const AccessibleElement& element)
{
    const auto* atspi = atspiElement(element);
    return atspi ? atspi->knownProcessId() : std::nullopt;
}

bool AtspiAccessibilityBus::isSameElement(const AccessibleElement& first, const AccessibleElement& second)
{
    const auto* a = atspiElement(first);
    const auto* b = atspiElement(second);
    // By path: libatspi may hand out a new object for one it dropped from
    // its cache.
    return a && b && a->object() && b->object() && !a->busName().isEmpty() && !a->path().isEmpty()
        && a->busName() == b->busName() && a->path() == b->path();
}

QCoro::Task<QString> AtspiAccessibilityBus::toolkitName(Element element)
{
    std::function<QString()> job = [element] {
        AtspiAccessible* object = objectOf(*element);
        if (!object)
            return QString();
        // Asked of the application object: libatspi asks the element's own
        // path, which Qt does not answer.
        GErrorSlot appError;
        GObjectRef<AtspiAccessible> application(atspi_accessible_get_application(object, appError.out()));
        GErrorSlot error;
        gchar* name = atspi_accessible_get_toolkit_name(application ? application.get() : object, error.out());
        const QString result = name ? QString::fromUtf8(name) : QString();
        g_free(name);
        return result;
    };
    co_return co_await call<QString>(std::move(job), QString(), answerLimit_);
}

QCoro::Task<bool> AtspiAccessibilityBus::isEditableText(Element element)
{
    std::function<bool()> job = [element] {
        AtspiAccessible* object = objectOf(*element);
        if (!object)
            return false;
        GObjectRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(object));
        GObjectRef<AtspiText> text(atspi_accessible_get_text_iface(object));
        return editable && text && hasState(object, ATSPI_STATE_EDITABLE);
    };
    co_return co_await call<bool>(std::move(job), false, answerLimit_);
}

QCoro::Task<bool> AtspiAccessibilityBus::isReadOnly(Element element)
{
    std::function<bool()> job = [element] {
        AtspiAccessible* object = objectOf(*element);
        return object && readOnly(object);
    };
    co_return co_await call<bool>(std::move(job), false, answerLimit_);
}

QCoro::Task<std::optional<QString>> AtspiAccessibilityBus::text(Element element)
{
    std::function<std::optional<QString>()> job = [element]() -> std::optional<QString> {
        const GObjectRef<AtspiText> text = textOf(*element);
        return text ? readText(text.get()) : std::nullopt;
    };
    co_return co_await call<std::optional<QString>>(std::move(job), std::nullopt, answerLimit_);
}

QCoro::Task<std::optional<int>> AtspiAccessibilityBus::characterCount(Element element)
{
    std::function<std::optional<int>()> job = [element]() -> std::optional<int> {
        const GObjectRef<AtspiText> text = textOf(*element);
        if (!text)
            return std::nullopt;
        GErrorSlot error;
        const gint count = atspi_text_get_character_count(text.get(), error.out());
        if (error.failed() || count < 0)
            return std::nullopt;
        return count;
    };
    co_return co_await call<std::optional<int>>(std::move(job), std::nullopt, answerLimit_);
}

QCoro::Task<std::optional<int>> AtspiAccessibilityBus::caretOffset(Element element)
{
    std::function<std::optional<int>()> job = [element]() -> std::optional<int> {
        const GObjectRef<AtspiText> text = textOf(*element);
        if (!text)
            return std::nullopt;
        GErrorSlot error;
        const gint offset = atspi_text_get_caret_offset(text.get(), error.out());
        if (error.failed() || offset < 0)
            return std::nullopt;
        return offset;
    };
    co_return co_await call<std::optional<int>>(std::move(job), std::nullopt, answerLimit_);
}

QCoro::Task<std::optional<AccessibleRange>> AtspiAccessibilityBus::selection(Element element)
{
    std::function<std::optional<AccessibleRange>()> job = [element]() -> std::optional<AccessibleRange> {
        const GObjectRef<AtspiText> text = textOf(*element);
        return text ? readSelection(text.get()) : std::nullopt;
    };
    co_return co_await call<std::optional<AccessibleRange>>(std::move(job), std::nullopt, answerLimit_);
}

QCoro::Task<bool> AtspiAccessibilityBus::setCaretOffset(Element element, int offset)
{
    std::function<bool()> job = [element, offset] {
        const GObjectRef<AtspiText> text = textOf(*element);
        if (!text)
            return false;
        GErrorSlot error;
        const gboolean ok = atspi_text_set_caret_offset(text.get(), offset, error.out());
        return !error.failed() && ok;
    };
    co_return co_await call<bool>(std::move(job), false, answerLimit_);
}

QCoro::Task<int> AtspiAccessibilityBus::insertText(Element element, int offset, QString text, int length)
{
    std::function<int()> job = [element, offset, utf8 = text.toUtf8(), length] {
        const GObjectRef<AtspiEditableText> editable = editableTextOf(*element);
        if (!editable)
            return -1;
        GErrorSlot error;
        const gboolean ok
            = atspi_editable_text_insert_text(editable.get(), offset, utf8.constData(), length, error.out());
        return writeStatus(error.failed(), ok);
    };
    co_return co_await call<int>(std::move(job), unanswered, answerLimit_);
}

QCoro::Task<int> AtspiAccessibilityBus::deleteText(Element element, int start, int end)
{
    std::function<int()> job = [element, start, end] {
        const GObjectRef<AtspiEditableText> editable = editableTextOf(*element);
        if (!editable)
            return -1;
        GErrorSlot error;
        const gboolean ok = atspi_editable_text_delete_text(editable.get(), start, end, error.out());
        return writeStatus(error.failed(), ok);
    };
    co_return co_await call<int>(std::move(job), unanswered, answerLimit_);
}

QCoro::Task<int> AtspiAccessibilityBus::setTextContents(Element element, QString text)
{
    std::function<int()> job = [element, utf8 = text.toUtf8()] {
        const GObjectRef<AtspiEditableText> editable = editableTextOf(*element);
        if (!editable)
            return -1;
        GErrorSlot error;
        const gboolean ok = atspi_editable_text_set_text_contents(editable.get(), utf8.constData(), error.out());
        return writeStatus(error.failed(), ok);
    };
    co_return co_await call<int>(std::move(job), unanswered, answerLimit_);
}

} // namespace vellamor::platform
