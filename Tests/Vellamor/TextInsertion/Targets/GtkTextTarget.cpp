// The GTK counterpart of QtTextTarget, with the same commands on standard
// input and output: "entry" shows a GtkEntry, "view" a GtkTextView. Its
// positions count characters (code points), as GTK does. It answers
// "ready 0" once its window is mapped: the test finds the window by process.

#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

GtkWidget* window = nullptr;
GtkWidget* field = nullptr;
bool isView = false;
std::vector<std::string> presses;

std::string toHex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string fromHex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

long characters(const std::string& utf8)
{
    return g_utf8_strlen(utf8.c_str(), static_cast<gssize>(utf8.size()));
}

void reply(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

GtkTextBuffer* buffer()
{
    return gtk_text_view_get_buffer(GTK_TEXT_VIEW(field));
}

std::string text()
{
    if (!isView)
        return gtk_entry_get_text(GTK_ENTRY(field));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer(), &start, &end);
    gchar* content = gtk_text_buffer_get_text(buffer(), &start, &end, FALSE);
    std::string result = content;
    g_free(content);
    return result;
}

void select(long start, long length)
{
    if (!isView) {
        gtk_editable_select_region(GTK_EDITABLE(field), static_cast<gint>(start), static_cast<gint>(start + length));
        return;
    }
    GtkTextIter from, to;
    gtk_text_buffer_get_iter_at_offset(buffer(), &from, static_cast<gint>(start + length));
    gtk_text_buffer_get_iter_at_offset(buffer(), &to, static_cast<gint>(start));
    gtk_text_buffer_select_range(buffer(), &to, &from);
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ') {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    words.push_back(word);
    return words;
}

std::string handle(const std::vector<std::string>& words)
{
    const std::string& command = words[0];
    const auto word = [&](std::size_t i) { return i < words.size() ? words[i] : std::string(); };
    if (command == "state") {
        const bool active = gtk_window_is_active(GTK_WINDOW(window));
        const bool focused = gtk_widget_has_focus(field);
        return std::string("state ") + (active ? "1" : "0") + ' ' + (focused ? "1" : "0") + ' ' + toHex(text());
    }
    if (command == "set") {
        const std::string value = fromHex(word(1));
        if (isView) {
            gtk_text_buffer_set_text(buffer(), value.c_str(), -1);
            GtkTextIter end;
            gtk_text_buffer_get_end_iter(buffer(), &end);
            gtk_text_buffer_place_cursor(buffer(), &end);
        } else {
            gtk_entry_set_text(GTK_ENTRY(field), value.c_str());
            gtk_editable_set_position(GTK_EDITABLE(field), -1);
        }
        return "ok";
    }
    if (command == "caret") {
        select(characters(fromHex(word(1))), 0);
        return "ok";
    }
    if (command == "select") {
        select(characters(fromHex(word(1))), characters(fromHex(word(2))));
        return "ok";
    }
    if (command == "keys") {
        std::string line = "keys";
        for (const auto& press : presses)
            line += ' ' + press;
        return line;
    }
    return "error";
}

gboolean onInput(GIOChannel* channel, GIOCondition, gpointer)
{
    gchar* line = nullptr;
    gsize length = 0;
    const GIOStatus status = g_io_channel_read_line(channel, &line, &length, nullptr, nullptr);
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR) {
        gtk_main_quit();
        return FALSE;
    }
    std::string text = line ? line : "";
    g_free(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text == "quit") {
        gtk_main_quit();
        return FALSE;
    }
    if (!text.empty())
        reply(handle(split(text)));
    return TRUE;
}

gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer)
{
    presses.push_back(std::to_string(event->keyval) + ':' + std::to_string(event->state));
    return FALSE;
}

gboolean onMapped(GtkWidget*, GdkEvent*, gpointer)
{
    reply("ready 0");
    return FALSE;
}

} // namespace

int main(int argc, char** argv)
{
    gdk_set_allowed_backends("x11");
    gtk_init(&argc, &argv);
    isView = argc > 1 && std::string(argv[1]) == "view";

    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "vellamor gtk text target");
    gtk_window_set_default_size(GTK_WINDOW(window), 420, isView ? 200 : 60);
    field = isView ? gtk_text_view_new() : gtk_entry_new();
    gtk_container_add(GTK_CONTAINER(window), field);
    g_signal_connect(field, "key-press-event", G_CALLBACK(+[](GtkWidget* w, GdkEventKey* e, gpointer d) {
                         return onKeyPress(w, e, d);
                     }),
                     nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent* e, gpointer d) {
                         return onMapped(w, e, d);
                     }),
                     nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(field);

    GIOChannel* input = g_io_channel_unix_new(0);
    g_io_add_watch(input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), onInput, nullptr);
    gtk_main();
    return 0;
}
