// GLib's headers come before Qt's (Qt's keyword macros would rewrite GLib names).
#include <atspi/atspi.h>

#include "Platform/Accessibility/AtspiAccessibilityBus.h"

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

class AtspiElement final : public AccessibleElement {
public:
    // Holds a reference of its own on `object`; null for this process's stand-in.
    AtspiElement(AtspiAccessible* object, std::optional<qint64> processId)
        : object_(object ? ATSPI_ACCESSIBLE(g_object_ref(object)) : nullptr)
        , processId_(processId)
    {
    }
    ~AtspiElement() override
    {
        if (object_)
            g_object_unref(object_);
    }
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;

    AtspiAccessible* object() const { return object_; }
    std::optional<qint64> knownProcessId() const { return processId_; }

private:
    AtspiAccessible* object_;
    std::optional<qint64> processId_;
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

// Depth first through the children, for the object that has the focus.
AtspiAccessible* findFocused(AtspiAccessible* object, int depth, int& budget)
{
    if (--budget < 0 || depth > depthLimit)
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
        if (AtspiAccessible* found = findFocused(child.get(), depth + 1, budget))
            return found;
    }
    return nullptr;
}

bool ownProcessHasFocus()
{
    return QGuiApplication::instance() && QGuiApplication::focusWindow() != nullptr;
}

} // namespace

struct AtspiAccessibilityBus::State {
    qint64 ownProcessId = 0;
    bool connected = false;
    AtspiEventListener* listener = nullptr;
    AtspiAccessible* lastFocused = nullptr;

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
        auto* state = static_cast<State*>(data);
        if (event->source) {
            const bool focusEvent = qstrncmp(event->type, "focus:", 6) == 0;
            if (focusEvent || event->detail1 != 0)
                state->remember(event->source);
            else if (event->source == state->lastFocused)
                state->remember(nullptr);
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

    // A new reference to the focused object of another application's active window.
    AtspiAccessible* searchDesktop()
    {
        GObjectRef<AtspiAccessible> desktop(atspi_get_desktop(0));
        if (!desktop)
            return nullptr;
        GErrorSlot error;
        const gint apps = atspi_accessible_get_child_count(desktop.get(), error.out());
        for (gint a = 0; !error.failed() && a < apps; ++a) {
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
                if (AtspiAccessible* found = findFocused(window.get(), 0, budget))
                    return found;
            }
        }
        return nullptr;
    }
};

AtspiAccessibilityBus::AtspiAccessibilityBus(qint64 ownProcessId, std::chrono::milliseconds callTimeout)
    : state_(std::make_unique<State>())
{
    state_->ownProcessId = ownProcessId;
    const int status = atspi_init();
    state_->connected = status == 0 || status == 1;
    if (!state_->connected)
        return;
    // A hung application must not hold the main thread for long.
    const auto timeout = static_cast<gint>(callTimeout.count());
    atspi_set_timeout(timeout, 3 * timeout);
    state_->listener = atspi_event_listener_new(&State::onEvent, state_.get(), nullptr);
    GErrorSlot error;
    atspi_event_listener_register(state_->listener, "object:state-changed:focused", error.out());
    atspi_event_listener_register(state_->listener, "focus:", error.out());
}

AtspiAccessibilityBus::~AtspiAccessibilityBus()
{
    if (state_->listener) {
        GErrorSlot error;
        atspi_event_listener_deregister(state_->listener, "object:state-changed:focused", error.out());
        atspi_event_listener_deregister(state_->listener, "focus:", error.out());
        g_object_unref(state_->listener);
    }
    state_->remember(nullptr);
}

bool AtspiAccessibilityBus::isConnected() const
{
    return state_->connected;
}

std::shared_ptr<AccessibleElement> AtspiAccessibilityBus::focusedElement()
{
    if (ownProcessHasFocus())
        return std::make_shared<AtspiElement>(nullptr, state_->ownProcessId);
    if (!state_->connected)
        return nullptr;
    if (AtspiAccessible* focused = state_->stillFocused())
        return std::make_shared<AtspiElement>(focused, processIdOf(focused));
    GObjectRef<AtspiAccessible> found(state_->searchDesktop());
    if (!found)
        return nullptr;
    state_->remember(found.get());
    return std::make_shared<AtspiElement>(found.get(), processIdOf(found.get()));
}

std::optional<qint64> AtspiAccessibilityBus::processId(const AccessibleElement& element)
{
    if (const auto* atspi = dynamic_cast<const AtspiElement*>(&element))
        return atspi->knownProcessId();
    return std::nullopt;
}

bool AtspiAccessibilityBus::isSameElement(const AccessibleElement& first, const AccessibleElement& second)
{
    AtspiAccessible* a = objectOf(first);
    AtspiAccessible* b = objectOf(second);
    if (!a || !b)
        return false;
    // By path: libatspi may hand out a new object for one it dropped from
    // its cache.
    const AtspiObject* x = ATSPI_OBJECT(a);
    const AtspiObject* y = ATSPI_OBJECT(b);
    return x->app && y->app && x->path && y->path && qstrcmp(x->app->bus_name, y->app->bus_name) == 0
        && qstrcmp(x->path, y->path) == 0;
}

QString AtspiAccessibilityBus::toolkitName(const AccessibleElement& element)
{
    AtspiAccessible* object = objectOf(element);
    if (!object)
        return {};
    // Asked of the application object: libatspi asks the element's own path,
    // which Qt does not answer.
    GErrorSlot appError;
    GObjectRef<AtspiAccessible> application(atspi_accessible_get_application(object, appError.out()));
    GErrorSlot error;
    gchar* name = atspi_accessible_get_toolkit_name(application ? application.get() : object, error.out());
    const QString result = name ? QString::fromUtf8(name) : QString();
    g_free(name);
    return result;
}

bool AtspiAccessibilityBus::isEditableText(const AccessibleElement& element)
{
    AtspiAccessible* object = objectOf(element);
    if (!object)
        return false;
    GObjectRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(object));
    GObjectRef<AtspiText> text(atspi_accessible_get_text_iface(object));
    return editable && text && hasState(object, ATSPI_STATE_EDITABLE);
}

bool AtspiAccessibilityBus::isReadOnly(const AccessibleElement& element)
{
    AtspiAccessible* object = objectOf(element);
    if (!object)
        return false;
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
    return static_cast<bool>(editableTextOf(element));
}

std::optional<QString> AtspiAccessibilityBus::text(const AccessibleElement& element)
{
    const GObjectRef<AtspiText> text = textOf(element);
    if (!text)
        return std::nullopt;
    GErrorSlot error;
    gchar* content = atspi_text_get_text(text.get(), 0, -1, error.out());
    if (error.failed() || !content) {
        g_free(content);
        return std::nullopt;
    }
    QString result = QString::fromUtf8(content);
    g_free(content);
    return result;
}

std::optional<int> AtspiAccessibilityBus::characterCount(const AccessibleElement& element)
{
    const GObjectRef<AtspiText> text = textOf(element);
    if (!text)
        return std::nullopt;
    GErrorSlot error;
    const gint count = atspi_text_get_character_count(text.get(), error.out());
    if (error.failed() || count < 0)
        return std::nullopt;
    return count;
}

std::optional<int> AtspiAccessibilityBus::caretOffset(const AccessibleElement& element)
{
    const GObjectRef<AtspiText> text = textOf(element);
    if (!text)
        return std::nullopt;
    GErrorSlot error;
    const gint offset = atspi_text_get_caret_offset(text.get(), error.out());
    if (error.failed() || offset < 0)
        return std::nullopt;
    return offset;
}

std::optional<AccessibleRange> AtspiAccessibilityBus::selection(const AccessibleElement& element)
{
    const GObjectRef<AtspiText> text = textOf(element);
    if (!text)
        return std::nullopt;
    GErrorSlot error;
    const gint count = atspi_text_get_n_selections(text.get(), error.out());
    if (error.failed() || count <= 0)
        return std::nullopt;
    AtspiRange* range = atspi_text_get_selection(text.get(), 0, error.out());
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

int AtspiAccessibilityBus::insertText(const AccessibleElement& element, int offset, const QString& text, int length)
{
    const GObjectRef<AtspiEditableText> editable = editableTextOf(element);
    if (!editable)
        return -1;
    const QByteArray utf8 = text.toUtf8();
    GErrorSlot error;
    const gboolean ok = atspi_editable_text_insert_text(editable.get(), offset, utf8.constData(), length, error.out());
    if (error.failed())
        return unanswered;
    return ok ? 0 : -1;
}

int AtspiAccessibilityBus::deleteText(const AccessibleElement& element, int start, int end)
{
    const GObjectRef<AtspiEditableText> editable = editableTextOf(element);
    if (!editable)
        return -1;
    GErrorSlot error;
    const gboolean ok = atspi_editable_text_delete_text(editable.get(), start, end, error.out());
    if (error.failed())
        return unanswered;
    return ok ? 0 : -1;
}

int AtspiAccessibilityBus::setTextContents(const AccessibleElement& element, const QString& text)
{
    const GObjectRef<AtspiEditableText> editable = editableTextOf(element);
    if (!editable)
        return -1;
    const QByteArray utf8 = text.toUtf8();
    GErrorSlot error;
    const gboolean ok = atspi_editable_text_set_text_contents(editable.get(), utf8.constData(), error.out());
    if (error.failed())
        return unanswered;
    return ok ? 0 : -1;
}

} // namespace vellamor::platform
