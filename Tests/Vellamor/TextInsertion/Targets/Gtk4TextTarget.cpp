// The GTK 4 target of the text-insertion desktop tests (see TargetProtocol.h):
// a "GtkEntry", positions counted in code points. GTK 4 speaks to the
// accessibility bus itself, without ATK, and its entry keeps the text and the
// keyboard focus in an inner GtkText. It announces itself once its window is
// mapped.

#include "TargetProtocol.h"

#include <gtk/gtk.h>

#include <string>

namespace
{

struct Field {
    GtkWidget* window = nullptr;
    GtkWidget* entry = nullptr;
};

void report(Field* field)
{
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(field->window));
    const bool inEntry = focus && (focus == field->entry || gtk_widget_is_ancestor(focus, field->entry));
    vellamor::target::report(
        gtk_window_is_active(GTK_WINDOW(field->window)) && inEntry, gtk_editable_get_text(GTK_EDITABLE(field->entry)));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string widget = argc > 1 ? argv[1] : "";
    if (widget != "GtkEntry") {
        g_printerr("%s: no widget \"%s\"; this target shows a GtkEntry only\n", argv[0], widget.c_str());
        return 2;
    }
    gdk_set_allowed_backends("x11");
    gtk_init();
    const std::string text = argc > 2 ? argv[2] : "";
    const auto start = static_cast<int>(argc > 3 ? g_utf8_strlen(argv[3], -1) : 0);
    const auto end = start + static_cast<int>(argc > 4 ? g_utf8_strlen(argv[4], -1) : 0);

    Field field;
    field.window = gtk_window_new();
    gtk_window_set_title(GTK_WINDOW(field.window), "vellamor gtk4 text target");
    gtk_window_set_default_size(GTK_WINDOW(field.window), 420, 60);
    field.entry = gtk_entry_new();
    gtk_window_set_child(GTK_WINDOW(field.window), field.entry);
    gtk_editable_set_text(GTK_EDITABLE(field.entry), text.c_str());
    gtk_widget_grab_focus(field.entry);
    gtk_editable_select_region(GTK_EDITABLE(field.entry), start, end);

    const auto changed = +[](GtkEditable*, Field* f) { report(f); };
    const auto windowChanged = +[](GObject*, GParamSpec*, Field* f) { report(f); };
    const auto mapped = +[](GtkWidget*, gpointer) { vellamor::target::say("ready 0"); };
    g_signal_connect(field.entry, "changed", G_CALLBACK(changed), &field);
    g_signal_connect(field.window, "notify::is-active", G_CALLBACK(windowChanged), &field);
    g_signal_connect(field.window, "notify::focus-widget", G_CALLBACK(windowChanged), &field);
    g_signal_connect(field.window, "map", G_CALLBACK(mapped), nullptr);
    gtk_window_present(GTK_WINDOW(field.window));

    // GTK 4 leaves the main loop to the program; the window's close ends it.
    bool open = true;
    const auto closed = +[](GtkWindow*, bool* o) -> gboolean {
        *o = false;
        return FALSE;
    };
    g_signal_connect(field.window, "close-request", G_CALLBACK(closed), &open);
    while (open)
        g_main_context_iteration(nullptr, TRUE);
    return 0;
}
