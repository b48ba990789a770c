// GLib's headers come before Qt's (Qt's keyword macros would rewrite GLib names).
#include <atspi/atspi.h>

#include "AccessibleApp.h"

#include "DesktopTest.h"
#include "WaitUntil.h"

#include <memory>
#include <vector>

namespace vellamor::test {

namespace {

// Whole windows of a test app hold a few hundred objects.
constexpr int searchLimit = 5000;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T>
using Ref = std::unique_ptr<T, Unref>;

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    const Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

bool matches(AccessibleApp::Role role, AtspiRole actual)
{
    switch (role) {
    case AccessibleApp::Role::button:
        return actual == ATSPI_ROLE_PUSH_BUTTON || actual == ATSPI_ROLE_TOGGLE_BUTTON;
    case AccessibleApp::Role::window:
        return actual == ATSPI_ROLE_DIALOG || actual == ATSPI_ROLE_FRAME || actual == ATSPI_ROLE_WINDOW;
    case AccessibleApp::Role::listItem:
        return actual == ATSPI_ROLE_LIST_ITEM;
    }
    return false;
}

QString nameOf(AtspiAccessible* object)
{
    gchar* name = atspi_accessible_get_name(object, nullptr);
    const QString text = QString::fromUtf8(name ? name : "");
    g_free(name);
    return text;
}

std::optional<QRect> extentsOf(AtspiAccessible* object)
{
    const Ref<AtspiComponent> component(atspi_accessible_get_component_iface(object));
    if (!component)
        return std::nullopt;
    AtspiRect* rect = atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr);
    if (!rect)
        return std::nullopt;
    const QRect found(rect->x, rect->y, rect->width, rect->height);
    g_free(rect);
    return found;
}

} // namespace

AccessibleApp::AccessibleApp(qint64 processId)
    : processId_(processId)
{
    atspi_init();
}

// The first showing object of the process, in reading order, that `accept`
// takes; none when there is none (yet).
template<typename Accept>
static Ref<AtspiAccessible> firstShowing(qint64 processId, Accept accept)
{
    const Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    std::vector<Ref<AtspiAccessible>> pending;
    const gint apps = atspi_accessible_get_child_count(desktop.get(), nullptr);
    for (gint i = 0; i < apps; ++i) {
        Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
        if (app && qint64(atspi_accessible_get_process_id(app.get(), nullptr)) == processId)
            pending.push_back(std::move(app));
    }
    for (int visited = 0; !pending.empty() && visited < searchLimit; ++visited) {
        Ref<AtspiAccessible> object = std::move(pending.back());
        pending.pop_back();
        const AtspiRole actual = atspi_accessible_get_role(object.get(), nullptr);
        if (actual != ATSPI_ROLE_APPLICATION && !hasState(object.get(), ATSPI_STATE_SHOWING))
            continue;
        if (accept(object.get(), actual))
            return object;
        const gint children = atspi_accessible_get_child_count(object.get(), nullptr);
        for (gint i = children - 1; i >= 0; --i) {
            if (Ref<AtspiAccessible> child{atspi_accessible_get_child_at_index(object.get(), i, nullptr)})
                pending.push_back(std::move(child));
        }
    }
    return nullptr;
}

std::optional<QRect> AccessibleApp::find(Role role, const QString& name) const
{
    const Ref<AtspiAccessible> found = firstShowing(processId_, [&](AtspiAccessible* object, AtspiRole actual) {
        return matches(role, actual) && nameOf(object) == name
            && (role != Role::button || hasState(object, ATSPI_STATE_ENABLED));
    });
    return found ? extentsOf(found.get()) : std::nullopt;
}

std::optional<QString> AccessibleApp::nameStartingWith(Role role, const QString& start) const
{
    const Ref<AtspiAccessible> found = firstShowing(processId_, [&](AtspiAccessible* object, AtspiRole actual) {
        return matches(role, actual) && nameOf(object).startsWith(start);
    });
    return found ? std::optional(nameOf(found.get())) : std::nullopt;
}

bool AccessibleApp::press(const QString& name) const
{
    const Ref<AtspiAccessible> found = firstShowing(processId_, [&](AtspiAccessible* object, AtspiRole) {
        if (nameOf(object) != name)
            return false;
        const Ref<AtspiAction> action(atspi_accessible_get_action_iface(object));
        return action != nullptr;
    });
    if (!found)
        return false;
    const Ref<AtspiAction> action(atspi_accessible_get_action_iface(found.get()));
    return atspi_action_do_action(action.get(), 0, nullptr);
}

bool AccessibleApp::click(const QString& button) const
{
    std::optional<QRect> where;
    waitUntil([&] { return (where = find(Role::button, button)).has_value(); });
    if (!where)
        return false;
    const QPoint middle = where->center();
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(middle.x()),
                    QString::number(middle.y()), QStringLiteral("click"), QStringLiteral("1")});
}

} // namespace vellamor::test
