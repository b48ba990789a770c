// A GTK text view that works 8 ms on every key press before taking it, as a
// word processor laying out its page, for the ordering test of typed text
// (see TargetProtocol.h). Keys pile up unread meanwhile. Started as "writer"
// it is named like LibreOffice Writer and, like it, takes emoji 12 ms after
// their key, later than Enter and other keys that may overtake them. Started
// as "late MS" it takes keys at once but works MS ms after the first change
// of its text, before it answers anything else, as a word processor given a
// long text. Started as "shows MS" it answers at once and takes each
// insertion MS ms later, as a field that shows an accepted write late.
// Started as "busy" it is a GTK entry that takes no text at all
// (its insert-text signal stopped, as a field that swallows everything) and
// whose main loop works 20 ms of every 40, as an application busy drawing.

#include "TargetProtocol.h"

#include <gtk/gtk.h>

#include <string>
#include <utility>

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

// Inserts a late character at the cursor as it is by then.
gboolean insertLate(gpointer data)
{
    auto* late = static_cast<std::pair<GtkTextBuffer*, std::string>*>(data);
    gtk_text_buffer_insert_at_cursor(late->first, late->second.c_str(), -1);
    delete late;
    return G_SOURCE_REMOVE;
}

gboolean takeLate(GtkWidget*, GdkEventKey* event, GtkTextBuffer* buffer)
{
    const gunichar character = gdk_keyval_to_unicode(event->keyval);
    if (character <= 0xffff)
        return FALSE;
    gchar utf8[8] = {};
    g_unichar_to_utf8(character, utf8);
    g_timeout_add(12, insertLate, new std::pair<GtkTextBuffer*, std::string>(buffer, utf8));
    return TRUE;
}

// An insertion put off, and whether one is being applied now.
struct Deferred {
    GtkTextBuffer* buffer;
    gint offset;
    std::string text;
};
bool applying = false;

gboolean applyDeferred(gpointer data)
{
    auto* deferred = static_cast<Deferred*>(data);
    GtkTextIter at;
    gtk_text_buffer_get_iter_at_offset(deferred->buffer, &at, deferred->offset);
    applying = true;
    gtk_text_buffer_insert(deferred->buffer, &at, deferred->text.c_str(), -1);
    applying = false;
    delete deferred;
    return G_SOURCE_REMOVE;
}

// Real work, not a sleep: nothing else of the program runs meanwhile.
void spin(gint64 microseconds)
{
    const gint64 until = g_get_monotonic_time() + microseconds;
    while (g_get_monotonic_time() < until) {
    }
}

int busyEntry()
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* entry = gtk_entry_new();
    gtk_container_add(GTK_CONTAINER(window), entry);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(entry);
    const auto swallow = +[](GtkEditable* editable, gchar*, gint, gpointer, gpointer) {
        g_signal_stop_emission_by_name(editable, "insert-text");
    };
    const auto changed = +[](GtkEditable* editable, gpointer) {
        vellamor::target::report(true, gtk_entry_get_text(GTK_ENTRY(editable)));
    };
    const auto mapped = +[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
        vellamor::target::say("ready 0");
        return FALSE;
    };
    g_signal_connect(entry, "insert-text", G_CALLBACK(swallow), nullptr);
    g_signal_connect(entry, "changed", G_CALLBACK(changed), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(mapped), nullptr);
    g_timeout_add(
        40,
        +[](gpointer) -> gboolean {
            spin(20'000);
            return G_SOURCE_CONTINUE;
        },
        nullptr);
    gtk_main();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    gdk_set_allowed_backends("x11");
    const bool writer = argc > 1 && std::string(argv[1]) == "writer";
    const bool late = argc > 2 && std::string(argv[1]) == "late";
    static gint64 lateWork = late ? std::stoll(argv[2]) * 1000 : 0;
    const bool shows = argc > 2 && std::string(argv[1]) == "shows";
    static guint showAfter = shows ? static_cast<guint>(std::stoul(argv[2])) : 0;
    if (writer) {
        g_set_prgname("libreoffice");
        gdk_set_program_class("libreoffice-writer");
    }
    gtk_init(&argc, &argv);
    if (argc > 1 && std::string(argv[1]) == "busy")
        return busyEntry();
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
    const auto changed = +[](GtkTextBuffer* b) {
        if (lateWork > 0)
            spin(std::exchange(lateWork, 0));
        vellamor::target::report(true, textOf(b));
    };
    const auto mapped = +[](GtkWidget*, GdkEvent*, gpointer) -> gboolean {
        vellamor::target::say("ready 0");
        return FALSE;
    };
    const auto defer = +[](GtkTextBuffer* b, GtkTextIter* location, gchar* text, gint length, gpointer) {
        if (applying)
            return;
        g_signal_stop_emission_by_name(b, "insert-text");
        g_timeout_add(showAfter, applyDeferred,
            new Deferred { b, gtk_text_iter_get_offset(location), std::string(text, static_cast<std::size_t>(length)) });
    };
    if (shows)
        g_signal_connect(buffer, "insert-text", G_CALLBACK(defer), nullptr);
    else if (!late)
        g_signal_connect(view, "key-press-event", writer ? G_CALLBACK(takeLate) : G_CALLBACK(work), buffer);
    g_signal_connect(buffer, "changed", G_CALLBACK(changed), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(mapped), nullptr);
    gtk_main();
    return 0;
}
