// GLib's headers come before Qt's, which defines `signals`.
#include <atspi/atspi.h>

#include "AccessibleButtons.h"

#include <QByteArray>

namespace vellamor::test {

namespace {

// Deep enough for a settings window, bounded for a tree that changes while read.
constexpr int maximumDepth = 40;

bool pressIn(AtspiAccessible* node, const QByteArray& name, int depth)
{
    if (!node || depth > maximumDepth)
        return false;
    gchar* nodeName = atspi_accessible_get_name(node, nullptr);
    const bool named = nodeName && name == nodeName;
    g_free(nodeName);
    if (named) {
        if (AtspiAction* action = atspi_accessible_get_action_iface(node)) {
            const bool pressed = atspi_action_do_action(action, 0, nullptr);
            g_object_unref(action);
            if (pressed)
                return true;
        }
    }
    const gint children = atspi_accessible_get_child_count(node, nullptr);
    for (gint i = 0; i < children; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
        const bool pressed = pressIn(child, name, depth + 1);
        if (child)
            g_object_unref(child);
        if (pressed)
            return true;
    }
    return false;
}

} // namespace

bool pressAccessibleButton(qint64 pid, const QString& name)
{
    if (atspi_init() > 1)
        return false;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    bool pressed = false;
    const gint applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (gint i = 0; i < applications && !pressed; ++i) {
        AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (application && atspi_accessible_get_process_id(application, nullptr) == static_cast<guint>(pid))
            pressed = pressIn(application, name.toUtf8(), 0);
        if (application)
            g_object_unref(application);
    }
    g_object_unref(desktop);
    return pressed;
}

} // namespace vellamor::test
