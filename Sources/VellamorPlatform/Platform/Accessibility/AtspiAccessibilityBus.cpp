#include "Platform/Accessibility/AtspiAccessibilityBus.h"

#include "Platform/Accessibility/DBusDaemonProbe.h"
#include "Support/Async/Channel.h"
#include "Support/Async/MainThread.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include <atspi/atspi-constants.h>

namespace vellamor::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A search of one application's active window stops here; real dialogs have
// a few hundred objects, a runaway tree (a huge table) must not hold the
// search for long.
constexpr int searchLimit = 4000;
constexpr int depthLimit = 64;
// Below a focused object that shows no text: Writer's panel holds a few
// dozen objects above its paragraphs; a window's large table must not make
// every question a walk.
constexpr int belowFocusLimit = 500;

const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString editableTextInterface = QStringLiteral("org.a11y.atspi.EditableText");
const QString applicationInterface = QStringLiteral("org.a11y.atspi.Application");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
const QString launcherService = QStringLiteral("org.a11y.Bus");

// An object on the bus: an application's connection and the object's path.
struct ObjectReference {
    QString service;
    QString path;

    friend bool operator==(const ObjectReference&, const ObjectReference&) = default;
};

class DBusElement final : public AccessibleElement {
public:
    DBusElement(ObjectReference object, std::optional<qint64> processId)
        : object_(std::move(object))
        , processId_(processId)
    {
    }
    // This process's stand-in.
    explicit DBusElement(qint64 ownProcessId)
        : processId_(ownProcessId)
    {
    }

    const std::optional<ObjectReference>& object() const { return object_; }
    std::optional<qint64> processId() const { return processId_; }

private:
    std::optional<ObjectReference> object_;
    std::optional<qint64> processId_;
};

std::optional<ObjectReference> referenceOf(const AccessibleElement& element)
{
    const auto* dbus = dynamic_cast<const DBusElement*>(&element);
    return dbus ? dbus->object() : std::nullopt;
}

bool ownProcessHasFocus()
{
    return QGuiApplication::instance() && QGuiApplication::focusWindow() != nullptr;
}

bool has(const std::vector<uint>& states, AtspiStateType state)
{
    const auto index = static_cast<std::size_t>(state);
    return index / 32 < states.size() && (states[index / 32] & (1u << (index % 32))) != 0;
}

// Reads an a(so) array at the argument's position.
std::vector<ObjectReference> readReferences(const QDBusArgument& argument)
{
    std::vector<ObjectReference> references;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        references.push_back({ service, path.path() });
    }
    argument.endArray();
    return references;
}

std::vector<ObjectReference> referencesIn(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>())
        return {};
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QStringLiteral("a(so)"))
        return {};
    return readReferences(argument);
}

// The first target of the first relation of `type` in a GetRelationSet
// reply (a(ua(so))); none when there is none.
std::optional<ObjectReference> relationTarget(const QVariant& value, uint type)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QStringLiteral("a(ua(so))"))
        return std::nullopt;
    std::optional<ObjectReference> found;
    argument.beginArray();
    while (!argument.atEnd()) {
        uint relation = 0;
        argument.beginStructure();
        argument >> relation;
        const auto targets = readReferences(argument);
        argument.endStructure();
        if (relation == type && !found && !targets.empty())
            found = targets.front();
    }
    argument.endArray();
    return found;
}

std::optional<int> intIn(const QVariant& value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && number >= 0 ? std::optional(number) : std::nullopt;
}

// The first value of a reply; none for an error, a time-out or an empty reply.
std::optional<QVariant> firstValue(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().at(0);
}

// Follows the focus events of every application from construction on.
class FocusEvents final : public QObject {
    Q_OBJECT

public:
    std::optional<ObjectReference> lastFocused;
    // What the events named focused before, newest first, while they name
    // objects of one application: Writer names its paragraph, then a panel
    // above it, then its root pane, which soon says it is not focused.
    std::vector<ObjectReference> recent;
    // The focused object without text that `lastFocused` was found below
    // (Writer's panel above its paragraphs), while the focus stays in its
    // application.
    std::optional<ObjectReference> focusedAbove;

    void forget()
    {
        lastFocused.reset();
        recent.clear();
        focusedAbove.reset();
    }

public Q_SLOTS:
    void stateChanged(const QDBusMessage& message)
    {
        const auto arguments = message.arguments();
        if (arguments.size() < 2 || arguments.at(0).toString() != QStringLiteral("focused"))
            return;
        const ObjectReference source { message.service(), message.path() };
        if (arguments.at(1).toInt() != 0)
            follow(source);
        else if (lastFocused == source)
            lastFocused.reset();
    }

    void focused(const QDBusMessage& message) { follow(ObjectReference { message.service(), message.path() }); }

private:
    static constexpr std::size_t recentLimit = 4;

    void follow(const ObjectReference& source)
    {
        if (!recent.empty() && recent.front().service != source.service)
            recent.clear();
        std::erase(recent, source);
        recent.insert(recent.begin(), source);
        if (recent.size() > recentLimit)
            recent.pop_back();
        lastFocused = source;
        if (focusedAbove && focusedAbove->service != source.service)
            focusedAbove.reset();
    }
};

} // namespace

class AtspiAccessibilityBus::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(qint64 ownProcessId, std::chrono::milliseconds callTimeout)
        : ownProcessId(ownProcessId)
        , callTimeout(callTimeout)
    {
        // The bus lives as long as its launcher: one that went away took it
        // along, and the one after it serves a new bus, where the
        // applications started since are.
        launcherWatch.setConnection(QDBusConnection::sessionBus());
        launcherWatch.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
        launcherWatch.addWatchedService(launcherService);
        QObject::connect(&launcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, &events,
            [this](const QString&, const QString&, const QString& newOwner) {
                ++launcherGeneration;
                if (!newOwner.isEmpty())
                    reconnect();
            });
    }

    ~Connection()
    {
        if (!name.isEmpty())
            QDBusConnection::disconnectFromBus(name);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connected to the bus of the launcher now serving.
    bool isCurrent() const { return bus.isConnected() && connectedGeneration == launcherGeneration; }

    // Starts connecting unless that is under way. Callbacks rather than a
    // coroutine: an attempt nobody awaits must not keep a suspended frame
    // behind when this connection or the process ends first.
    void reconnect()
    {
        if (connecting)
            return;
        connecting = true;
        const int generation = launcherGeneration;
        const auto message = QDBusMessage::createMethodCall(
            launcherService, QStringLiteral("/org/a11y/bus"), launcherService, QStringLiteral("GetAddress"));
        auto* asked = new QDBusPendingCallWatcher(
            QDBusConnection::sessionBus().asyncCall(message, static_cast<int>(callTimeout.count())), &events);
        QObject::connect(asked, &QDBusPendingCallWatcher::finished, &events,
            [this, generation](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const auto address = firstValue(call->reply());
                if (!address) {
                    finishAttempt(false);
                    return;
                }
                DBusDaemonProbe::ask(address->toString(), callTimeout, &events,
                    [this, address = address->toString(), generation](bool answers) {
                        if (answers)
                            connectInBackground(address, generation);
                        else
                            finishAttempt(false);
                    });
            });
    }

    // Connects first when not connected to the current bus; false when it
    // cannot be reached. An attempt that connected to a launcher's bus while
    // another launcher took over is followed by one more.
    QCoro::Task<bool> connected()
    {
        const auto self = shared_from_this();
        for (int tries = 0; tries < 2 && !isCurrent(); ++tries) {
            const Channel<bool> finished;
            waiting.push_back(finished);
            reconnect();
            if (!(co_await finished.next()).value_or(false))
                break;
        }
        co_return isCurrent();
    }

    // The reply, or an error message when the call failed or timed out (by
    // `deadline` at the latest).
    // Callers build `arguments` before the co_await: GCC 12 cannot keep a
    // braced list's array (or a QStringLiteral's) in a coroutine's frame.
    QCoro::Task<QDBusMessage> call(ObjectReference object, QString interface, const char* method,
        QVariantList arguments, std::optional<Clock::time_point> deadline = std::nullopt)
    {
        auto message
            = QDBusMessage::createMethodCall(object.service, object.path, interface, QString::fromLatin1(method));
        message.setArguments(arguments);
        auto timeout = callTimeout;
        if (deadline)
            timeout = std::min(timeout,
                std::max(std::chrono::milliseconds(1),
                    std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now())));
        QDBusPendingCall pending = bus.asyncCall(message, static_cast<int>(timeout.count()));
        co_return co_await pending;
    }

    QCoro::Task<QVariant> property(ObjectReference object, QString interface, const char* name)
    {
        const QVariantList arguments { interface, QString::fromLatin1(name) };
        const auto reply = co_await call(std::move(object), propertiesInterface, "Get", arguments);
        const auto value = firstValue(reply);
        co_return value ? value->value<QDBusVariant>().variant() : QVariant();
    }

    // A text offset or count the field keeps as a property; none when unknown.
    QCoro::Task<std::optional<int>> textNumber(ObjectReference object, const char* name)
    {
        const auto value = co_await property(std::move(object), textInterface, name);
        co_return intIn(value);
    }

    QCoro::Task<std::vector<uint>> states(ObjectReference object, std::optional<Clock::time_point> deadline = {})
    {
        const auto reply = co_await call(std::move(object), accessibleInterface, "GetState", {}, deadline);
        const auto value = firstValue(reply);
        const auto list = value ? qdbus_cast<QList<uint>>(*value) : QList<uint>();
        co_return std::vector<uint>(list.begin(), list.end());
    }

    QCoro::Task<std::vector<ObjectReference>> children(ObjectReference object, Clock::time_point deadline)
    {
        const auto reply
            = co_await call(std::move(object), accessibleInterface, "GetChildren", {}, deadline);
        const auto value = firstValue(reply);
        co_return value ? referencesIn(*value) : std::vector<ObjectReference>();
    }

    QCoro::Task<std::set<QString>> interfaces(ObjectReference object)
    {
        const auto reply = co_await call(std::move(object), accessibleInterface, "GetInterfaces", {});
        const auto value = firstValue(reply);
        const auto names = value ? qdbus_cast<QStringList>(*value) : QStringList();
        co_return std::set<QString>(names.begin(), names.end());
    }

    // The text up to `end` (-1: all of it); none when it cannot be read.
    QCoro::Task<std::optional<QString>> textUpTo(ObjectReference object, int end)
    {
        const QVariantList arguments { 0, end };
        const auto reply = co_await call(std::move(object), textInterface, "GetText", arguments);
        const auto value = firstValue(reply);
        if (!value)
            co_return std::nullopt;
        co_return value->toString();
    }

    // Asked of the bus itself, once per connection.
    QCoro::Task<std::optional<qint64>> processIdOf(QString service)
    {
        if (const auto known = processIds.find(service); known != processIds.end())
            co_return known->second;
        const QVariantList arguments { service };
        const ObjectReference daemon { busService, busPath };
        const auto reply = co_await call(daemon, busService, "GetConnectionUnixProcessID", arguments);
        const auto value = firstValue(reply);
        if (!value || value->toUInt() == 0)
            co_return std::nullopt;
        processIds[service] = value->toUInt();
        co_return processIds[service];
    }

    // Depth first through the children, for the object that has the focus.
    QCoro::Task<std::optional<ObjectReference>> findFocused(
        ObjectReference object, int depth, std::shared_ptr<int> budget, Clock::time_point deadline)
    {
        if (--*budget < 0 || depth > depthLimit || Clock::now() >= deadline)
            co_return std::nullopt;
        const auto own = co_await states(object, deadline);
        if (has(own, ATSPI_STATE_FOCUSED))
            co_return object;
        const auto all = co_await children(object, deadline);
        for (const auto& child : all) {
            if (*budget < 0 || Clock::now() >= deadline)
                break;
            const auto found = co_await findFocused(child, depth + 1, budget, deadline);
            if (found)
                co_return found;
        }
        co_return std::nullopt;
    }

    // The deepest focused object below `object` that holds editable text, and
    // its depth.
    QCoro::Task<std::optional<std::pair<ObjectReference, int>>> editableFocusBelow(
        ObjectReference object, int depth, std::shared_ptr<int> budget, Clock::time_point deadline)
    {
        std::optional<std::pair<ObjectReference, int>> deepest;
        if (depth >= depthLimit)
            co_return deepest;
        const auto all = co_await children(std::move(object), deadline);
        for (const auto& child : all) {
            if (--*budget < 0 || Clock::now() >= deadline)
                break;
            const auto own = co_await states(child, deadline);
            std::optional<std::pair<ObjectReference, int>> found;
            if (has(own, ATSPI_STATE_FOCUSED) && has(own, ATSPI_STATE_EDITABLE)) {
                const auto offered = co_await interfaces(child);
                if (offered.contains(textInterface))
                    found = std::pair(child, depth + 1);
            }
            if (auto below = co_await editableFocusBelow(child, depth + 1, budget, deadline))
                found = std::move(below);
            if (found && (!deepest || found->second > deepest->second))
                deepest = std::move(found);
        }
        co_return deepest;
    }

    // Where the text of a focused object is: the object itself when it shows
    // text or manages its children (a list or table, whose rows are not
    // focused below it); else the deepest focused object below it that holds
    // editable text (LibreOffice Writer marks a panel focused above the
    // paragraph with the caret), and the object itself when there is none.
    QCoro::Task<ObjectReference> textFocus(ObjectReference focused, Clock::time_point deadline)
    {
        const auto offered = co_await interfaces(focused);
        if (offered.contains(textInterface))
            co_return focused;
        const auto own = co_await states(focused, deadline);
        if (has(own, ATSPI_STATE_MANAGES_DESCENDANTS))
            co_return focused;
        const auto budget = std::make_shared<int>(belowFocusLimit);
        const auto below = co_await editableFocusBelow(focused, 0, budget, deadline);
        co_return below ? below->first : focused;
    }

    QCoro::Task<bool> isFocusedElsewhere(ObjectReference object, Clock::time_point deadline)
    {
        const auto pid = co_await processIdOf(object.service);
        if (!pid || *pid == ownProcessId)
            co_return false;
        const auto own = co_await states(std::move(object), deadline);
        co_return has(own, ATSPI_STATE_FOCUSED);
    }

    // The newest of `named` but `skipped` that still has the focus.
    QCoro::Task<std::optional<ObjectReference>> stillFocused(
        std::vector<ObjectReference> named, std::optional<ObjectReference> skipped, Clock::time_point deadline)
    {
        for (const auto& object : named) {
            if (object == skipped)
                continue;
            if (co_await isFocusedElsewhere(object, deadline))
                co_return object;
        }
        co_return std::nullopt;
    }

    // Where the focused text is (see textFocus), kept for the next question:
    // the object kept while it has the focus; else the newest one the events
    // named before that still has it; else, below the focused object without
    // text it was found under, the one that now has it (Writer's next
    // paragraph, before the event says so); else what a search finds.
    QCoro::Task<std::optional<ObjectReference>> focusedText(Clock::time_point deadline)
    {
        auto seen = events.lastFocused;
        bool seenFocused = false;
        while (seen) {
            seenFocused = co_await isFocusedElsewhere(*seen, deadline);
            // The events an application sent before its answer have come in:
            // they may name the next one (a paragraph Enter began).
            if (seenFocused || events.lastFocused == seen || Clock::now() >= deadline)
                break;
            seen = events.lastFocused;
        }
        const auto above = events.focusedAbove;
        std::optional<ObjectReference> focused;
        std::optional<ObjectReference> target;
        if (seenFocused)
            focused = seen;
        else
            focused = co_await stillFocused(events.recent, seen, deadline);
        if (!focused && above) {
            if (co_await isFocusedElsewhere(*above, deadline)) {
                const auto next = co_await textFocus(*above, deadline);
                if (next != *above) {
                    focused = above;
                    target = next;
                }
            }
        }
        if (!focused)
            focused = co_await searchDesktop(deadline);
        if (!focused)
            co_return std::nullopt;
        if (!target)
            target = co_await textFocus(*focused, deadline);
        // Unless an event named another object meanwhile.
        if (events.lastFocused == seen) {
            events.lastFocused = target;
            if (*target != *focused)
                events.focusedAbove = focused;
        }
        co_return target;
    }

    // The focused object of another application's active window.
    QCoro::Task<std::optional<ObjectReference>> searchDesktop(Clock::time_point deadline)
    {
        const ObjectReference desktop { registryService, rootPath };
        const auto applications = co_await children(desktop, deadline);
        for (const auto& application : applications) {
            const auto pid = co_await processIdOf(application.service);
            if (!pid || *pid == ownProcessId)
                continue;
            const auto windows = co_await children(application, deadline);
            for (const auto& window : windows) {
                if (Clock::now() >= deadline)
                    co_return std::nullopt;
                const auto shown = co_await states(window, deadline);
                if (!has(shown, ATSPI_STATE_ACTIVE))
                    continue;
                const auto budget = std::make_shared<int>(searchLimit);
                const auto found = co_await findFocused(window, 0, budget, deadline);
                if (found)
                    co_return found;
            }
        }
        co_return std::nullopt;
    }

    const qint64 ownProcessId;
    const std::chrono::milliseconds callTimeout;
    QDBusConnection bus { QString() };
    FocusEvents events;
    // Each connection on the bus belongs to one process for its life.
    std::map<QString, qint64> processIds;

private:
    // Qt makes the connection on its bus thread while the caller waits, for
    // as long as the bus takes to let it in: the daemon answered just now.
    void connectInBackground(const QString& address, int generation)
    {
        const QString connectionName = QStringLiteral("vellamor-a11y-%1").arg(++instances);
        QThreadPool::globalInstance()->start([weak = weak_from_this(), address, connectionName, generation] {
            const bool made = QDBusConnection::connectToBus(address, connectionName).isConnected();
            postToMainThread([weak, connectionName, generation, made] {
                const auto self = weak.lock();
                if (!self || !made) {
                    QDBusConnection::disconnectFromBus(connectionName);
                    if (self)
                        self->finishAttempt(false);
                    return;
                }
                self->adopt(connectionName, generation);
                self->finishAttempt(true);
            });
        });
    }

    void finishAttempt(bool made)
    {
        connecting = false;
        for (const Channel<bool>& waiter : std::exchange(waiting, {}))
            waiter.push(made);
    }

    void adopt(const QString& connectionName, int generation)
    {
        const QString old = std::exchange(name, connectionName);
        bus = QDBusConnection(name);
        connectedGeneration = generation;
        events.forget();
        processIds.clear();
        bus.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
            QStringLiteral("StateChanged"), &events, SLOT(stateChanged(QDBusMessage)));
        bus.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Focus"), QStringLiteral("Focus"),
            &events, SLOT(focused(QDBusMessage)));
        // Applications send the events only once someone has asked for them.
        for (const auto* event : { "object:state-changed:focused", "focus:" }) {
            auto message = QDBusMessage::createMethodCall(registryService, QStringLiteral("/org/a11y/atspi/registry"),
                QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
            message.setArguments({ QString::fromLatin1(event) });
            bus.asyncCall(message, static_cast<int>(callTimeout.count()));
        }
        if (!old.isEmpty())
            QDBusConnection::disconnectFromBus(old);
    }

    QString name;
    QDBusServiceWatcher launcherWatch;
    int launcherGeneration = 0;
    int connectedGeneration = -1;
    bool connecting = false;
    std::vector<Channel<bool>> waiting;
    static inline std::atomic<int> instances { 0 };
};

namespace {

// 0 when the application did it, `unanswered` when it did not answer in time,
// -1 when it refused or cannot do it.
int writeStatus(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return !reply.arguments().isEmpty() && reply.arguments().at(0).toBool() ? 0 : -1;
    const QString error = reply.errorName();
    if (error == QStringLiteral("org.freedesktop.DBus.Error.NoReply")
        || error == QStringLiteral("org.freedesktop.DBus.Error.Timeout")
        || error == QStringLiteral("org.freedesktop.DBus.Error.TimedOut"))
        return AccessibilityBus::unanswered;
    return -1;
}


} // namespace

AtspiAccessibilityBus::AtspiAccessibilityBus(qint64 ownProcessId, std::chrono::milliseconds callTimeout)
    : connection_(std::make_shared<Connection>(ownProcessId, callTimeout))
{
    connection_->reconnect();
}

AtspiAccessibilityBus::~AtspiAccessibilityBus() = default;

QCoro::Task<bool> AtspiAccessibilityBus::connected()
{
    const auto c = connection_;
    co_return co_await c->connected();
}

QCoro::Task<AccessibilityBus::Element> AtspiAccessibilityBus::focusedElement()
{
    const auto c = connection_;
    if (ownProcessHasFocus())
        co_return std::make_shared<DBusElement>(c->ownProcessId);
    if (!co_await c->connected())
        co_return Element();
    // Asked again each time: a toolkit may not announce every change (Qt
    // keeps a field "focused" after its window lost the focus to another
    // application).
    const auto target = co_await c->focusedText(Clock::now() + 3 * c->callTimeout);
    if (!target)
        co_return Element();
    const auto pid = co_await c->processIdOf(target->service);
    co_return std::make_shared<DBusElement>(*target, pid);
}

std::optional<qint64> AtspiAccessibilityBus::processId(const AccessibleElement& element)
{
    const auto* dbus = dynamic_cast<const DBusElement*>(&element);
    return dbus ? dbus->processId() : std::nullopt;
}

bool AtspiAccessibilityBus::isSameElement(const AccessibleElement& first, const AccessibleElement& second)
{
    const auto a = referenceOf(first);
    return a && a == referenceOf(second);
}

QCoro::Task<QString> AtspiAccessibilityBus::toolkitName(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return QString();
    // Asked of the application object: Qt does not answer it of the element.
    const ObjectReference application { object->service, rootPath };
    const auto name = co_await c->property(application, applicationInterface, "ToolkitName");
    co_return name.toString();
}

QCoro::Task<bool> AtspiAccessibilityBus::isEditableText(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return false;
    const auto offered = co_await c->interfaces(*object);
    if (!offered.contains(textInterface) || !offered.contains(editableTextInterface))
        co_return false;
    const auto states = co_await c->states(*object);
    co_return has(states, ATSPI_STATE_EDITABLE);
}

QCoro::Task<bool> AtspiAccessibilityBus::isReadOnly(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return false;
    const auto states = co_await c->states(*object);
    // Qt and Chromium say so.
    if (has(states, ATSPI_STATE_READ_ONLY))
        co_return true;
    if (states.empty() || has(states, ATSPI_STATE_EDITABLE))
        co_return false;
    // GTK's read-only views and entries only lack the editable state. Only a
    // text field counts so: Firefox gives every document and paragraph the
    // editable-text interface, editable or not, and Chromium's fields
    // (editable ones too) show none.
    const auto reply = co_await c->call(*object, accessibleInterface, "GetRole", {});
    const auto value = firstValue(reply);
    if (!value)
        co_return false;
    const auto role = value->toUInt();
    if (role != ATSPI_ROLE_TEXT && role != ATSPI_ROLE_ENTRY && role != ATSPI_ROLE_PASSWORD_TEXT)
        co_return false;
    const auto offered = co_await c->interfaces(*object);
    co_return offered.contains(editableTextInterface);
}

QCoro::Task<std::optional<QString>> AtspiAccessibilityBus::text(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return std::nullopt;
    auto whole = co_await c->textUpTo(*object, -1);
    if (!whole || !whole->isEmpty())
        co_return whole;
    // GTK 4's entries answer an empty whole text, and their text by its count.
    const auto count = co_await c->textNumber(*object, "CharacterCount");
    if (!count || *count == 0)
        co_return whole;
    auto byCount = co_await c->textUpTo(*object, *count);
    if (!byCount || byCount->isEmpty())
        co_return std::nullopt;
    co_return byCount;
}

QCoro::Task<std::optional<int>> AtspiAccessibilityBus::characterCount(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return std::nullopt;
    co_return co_await c->textNumber(*object, "CharacterCount");
}

QCoro::Task<std::optional<int>> AtspiAccessibilityBus::caretOffset(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return std::nullopt;
    co_return co_await c->textNumber(*object, "CaretOffset");
}

QCoro::Task<AccessibilityBus::Element> AtspiAccessibilityBus::flowsFrom(Element element)
{
    return related(std::move(element), ATSPI_RELATION_FLOWS_FROM);
}

QCoro::Task<AccessibilityBus::Element> AtspiAccessibilityBus::flowsTo(Element element)
{
    return related(std::move(element), ATSPI_RELATION_FLOWS_TO);
}

QCoro::Task<AccessibilityBus::Element> AtspiAccessibilityBus::related(Element element, uint relation)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return Element();
    const auto reply = co_await c->call(*object, accessibleInterface, "GetRelationSet", {});
    const auto value = firstValue(reply);
    auto target = value ? relationTarget(*value, relation) : std::nullopt;
    if (!target || target->path == QStringLiteral("/org/a11y/atspi/null"))
        co_return Element();
    if (target->service.isEmpty())
        target->service = object->service;
    const auto pid = co_await c->processIdOf(target->service);
    co_return std::make_shared<DBusElement>(*target, pid);
}

QCoro::Task<std::optional<AccessibleRange>> AtspiAccessibilityBus::selection(Element element)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return std::nullopt;
    const auto reply = co_await c->call(*object, textInterface, "GetNSelections", {});
    const auto count = firstValue(reply);
    if (!count || count->toInt() <= 0)
        co_return std::nullopt;
    const QVariantList first { 0 };
    const auto range = co_await c->call(*object, textInterface, "GetSelection", first);
    if (range.type() != QDBusMessage::ReplyMessage || range.arguments().size() < 2)
        co_return std::nullopt;
    const AccessibleRange result { range.arguments().at(0).toInt(), range.arguments().at(1).toInt() };
    if (result.start == result.end)
        co_return std::nullopt;
    co_return result;
}

QCoro::Task<bool> AtspiAccessibilityBus::setCaretOffset(Element element, int offset)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return false;
    const QVariantList arguments { offset };
    const auto reply = co_await c->call(*object, textInterface, "SetCaretOffset", arguments);
    co_return writeStatus(reply) == 0;
}

QCoro::Task<int> AtspiAccessibilityBus::insertText(Element element, int offset, QString text, int length)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return -1;
    const QVariantList arguments { offset, text, length };
    const auto reply = co_await c->call(*object, editableTextInterface, "InsertText", arguments);
    co_return writeStatus(reply);
}

QCoro::Task<int> AtspiAccessibilityBus::deleteText(Element element, int start, int end)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return -1;
    const QVariantList arguments { start, end };
    const auto reply = co_await c->call(*object, editableTextInterface, "DeleteText", arguments);
    co_return writeStatus(reply);
}

QCoro::Task<int> AtspiAccessibilityBus::setTextContents(Element element, QString text)
{
    const auto c = connection_;
    const auto object = referenceOf(*element);
    if (!object)
        co_return -1;
    const QVariantList arguments { text };
    const auto reply = co_await c->call(*object, editableTextInterface, "SetTextContents", arguments);
    co_return writeStatus(reply);
}

} // namespace vellamor::platform

#include "AtspiAccessibilityBus.moc"
