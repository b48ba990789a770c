// The GTK target of the text-insertion desktop tests (see TargetProtocol.h),
// "GtkEntry", "GtkTextView" or "GtkReadOnlyTextView" (a view the user cannot
// edit, which still asks for the clipboard on Ctrl+V): positions count code
// points, as GTK does. It announces itself once its window is mapped.

#include "TargetProtocol.h"

#include <gtk/gtk.h>

namespace {

struct Field {
    GtkWidget* window = nullptr;
    GtkWidget* widget = nullptr;
    GtkTextBuffer* buffer = nullptr;
};

void report(Field* field)
{
    std::string text;
    if (field->buffer) {
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(field->buffer, &start, &end);
        gchar* content = gtk_text_buffer_get_text(field->buffer, &start, &end, FALSE);
        text = content;
        g_free(content);
    } else {
        text = gtk_entry_get_text(GTK_ENTRY(field->widget));
    }
    vellamor::target::report(gtk_window_is_active(GTK_WINDOW(field->window)) && gtk_widget_has_focus(field->widget),
                             text);
}

} // namespace

int main(int argc, char** argv)
{
    gdk_set_allowed_backends("x11");
    gtk_init(&argc, &argv);
    const std::string widget = argc > 1 ? argv[1] : "";
    const bool readOnly = widget == "GtkReadOnlyTextView";
    const bool isView = readOnly || widget == "GtkTextView";
    const std::string text = argc > 2 ? argv[2] : "";
    const auto start = static_cast<gint>(argc > 3 ? g_utf8_strlen(argv[3], -1) : 0);
    const auto end = start + static_cast<gint>(argc > 4 ? g_utf8_strlen(argv[4], -1) : 0);

    Field field;
    field.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(field.window), "vellamor gtk text target");
    gtk_window_set_default_size(GTK_WINDOW(field.window), 420, isView ? 200 : 60);
    field.widget = isView ? gtk_text_view_new() : gtk_entry_new();
    if (readOnly)
        gtk_text_view_set_editable(GTK_TEXT_VIEW(field.widget), FALSE);
    gtk_container_add(GTK_CONTAINER(field.window), field.widget);
    gtk_widget_show_all(field.window);
    // Before the text: an entry that takes the focus selects all it holds.
    gtk_widget_grab_focus(field.widget);
    if (isView) {
        field.buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(field.widget));
        gtk_text_buffer_set_text(field.buffer, text.c_str(), -1);
        GtkTextIter from, to;
        gtk_text_buffer_get_iter_at_offset(field.buffer, &from, start);
        gtk_text_buffer_get_iter_at_offset(field.buffer, &to, end);
        gtk_text_buffer_select_range(field.buffer, &from, &to);
    } else {
        gtk_entry_set_text(GTK_ENTRY(field.widget), text.c_str());
        gtk_editable_select_region(GTK_EDITABLE(field.widget), start, end);
    }

    const auto changed = +[](gpointer, Field* f) { report(f); };
    const auto activeChanged = +[](GObject*, GParamSpec*, Field* f) { report(f); };
    const auto focus = +[](GtkWidget*, GdkEvent*, Field* f) -> gboolean {
        report(f);
        return FALSE;
    };
    const auto mapped = +[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
        vellamor::target::say("ready 0");
        return FALSE;
    };
    g_signal_connect(isView ? static_cast<gpointer>(field.buffer) : field.widget, "changed", G_CALLBACK(changed),
                     &field);
    g_signal_connect(field.widget, "focus-in-event", G_CALLBACK(focus), &field);
    g_signal_connect(field.widget, "focus-out-event", G_CALLBACK(focus), &field);
    g_signal_connect(field.window, "notify::is-active", G_CALLBACK(activeChanged), &field);
    g_signal_connect(field.window, "map-event", G_CALLBACK(mapped), nullptr);
    gtk_main();
    return 0;
}
