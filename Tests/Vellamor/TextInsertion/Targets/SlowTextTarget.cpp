// A GTK text view that works 8 ms on every key press before taking it, as a
// word processor laying out its page, for the ordering test of typed text
// (see TargetProtocol.h; no arguments). Keys pile up unread meanwhile.

#include "TargetProtocol.h"

#include <gtk/gtk.h>

namespace {

std::string textOf(GtkTextBuffer* buffer)
{
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* content = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string text = content;
    g_free(content);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    gdk_set_allowed_backends("x11");
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* view = gtk_text_view_new();
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    gtk_container_add(GTK_CONTAINER(window), view);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(view);

    // Real work, not a sleep: nothing else of the program runs meanwhile.
    const auto work = +[](GtkWidget*, GdkEventKey*, GtkTextBuffer* b) -> gboolean {
        const gint64 until = g_get_monotonic_time() + 8000;
        std::size_t sum = 0;
        while (g_get_monotonic_time() < until)
            sum += textOf(b).size();
        g_object_set_data(G_OBJECT(b), "work", GSIZE_TO_POINTER(sum));
        return FALSE;
    };
    const auto changed = +[](GtkTextBuffer* b) { vellamor::target::report(true, textOf(b)); };
    const auto mapped = +[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
        vellamor::target::say("ready 0");
        return FALSE;
    };
    g_signal_connect(view, "key-press-event", G_CALLBACK(work), buffer);
    g_signal_connect(buffer, "changed", G_CALLBACK(changed), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(mapped), nullptr);
    gtk_main();
    return 0;
}
