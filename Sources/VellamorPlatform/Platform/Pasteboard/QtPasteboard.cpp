#include "Platform/Pasteboard/QtPasteboard.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include <xcb/xcb.h>

namespace vellamor::platform {

namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

QClipboard::Mode modeOf(PasteboardSelection selection)
{
    return selection == PasteboardSelection::primary ? QClipboard::Selection : QClipboard::Clipboard;
}

QClipboard* clipboard(PasteboardSelection selection)
{
    QClipboard* board = QGuiApplication::clipboard();
    if (!board)
        return nullptr;
    if (selection == PasteboardSelection::primary && !board->supportsSelection())
        return nullptr;
    return board;
}

bool owns(QClipboard* board, PasteboardSelection selection)
{
    return selection == PasteboardSelection::primary ? board->ownsSelection() : board->ownsClipboard();
}

} // namespace

// Counts the requests for the text of a selection this process set, from the
// active window's application. Only a request for the text itself counts:
// owners are also asked for their TARGETS, TIMESTAMP and the like (browsers
// ask for TARGETS whenever the owner changes, long before a paste), and such
// a probe is no paste. Qt serves a request right after this filter has seen
// it, within the same turn of the event loop.
class QtPasteboard::RequestWatcher final : public QAbstractNativeEventFilter {
public:
    explicit RequestWatcher(xcb_connection_t* connection)
        : connection_(connection)
        , root_(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root)
        , clientMask_(xcb_get_setup(connection)->resource_id_mask)
        , activeWindow_(atomNamed(connection, "_NET_ACTIVE_WINDOW"))
        , clipboard_(atomNamed(connection, "CLIPBOARD"))
    {
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
            return false;
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        std::optional<PasteboardSelection> selection;
        if (request->selection == clipboard_)
            selection = PasteboardSelection::clipboard;
        else if (request->selection == XCB_ATOM_PRIMARY)
            selection = PasteboardSelection::primary;
        if (!selection)
            return false;
        Watched& watched = watched_[*selection];
        if (watched.armed && isTextTarget(request->target) && fromActiveApplication(request->requestor)) {
            ++watched.requests;
            watched.requestors.insert(request->requestor);
        }
        return false;
    }

    // From now on requests for `selection` count, from zero.
    void arm(PasteboardSelection selection) { watched_[selection] = {true, 0, {}}; }

    PasteboardRequests requests(PasteboardSelection selection)
    {
        const Watched& watched = watched_[selection];
        return {watched.requests, std::any_of(watched.requestors.begin(), watched.requestors.end(),
                                              [this](xcb_window_t w) { return receivingParts(w); })};
    }

private:
    struct Watched {
        bool armed = false;
        int requests = 0;
        std::set<xcb_window_t> requestors;
    };

    // Qt sends a text larger than one request can carry in parts (INCR):
    // it follows the requestor's property changes until the last part has
    // been taken, then stops; it follows no other program's window.
    bool receivingParts(xcb_window_t requestor)
    {
        const auto cookie = xcb_get_window_attributes(connection_, requestor);
        xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(connection_, cookie, nullptr);
        const bool followed = reply && (reply->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE) != 0;
        free(reply);
        return followed;
    }

    bool isTextTarget(xcb_atom_t target)
    {
        const auto known = textTargets_.find(target);
        if (known != textTargets_.end())
            return known->second;
        const auto cookie = xcb_get_atom_name(connection_, target);
        xcb_get_atom_name_reply_t* reply = xcb_get_atom_name_reply(connection_, cookie, nullptr);
        QByteArray name;
        if (reply)
            name = QByteArray(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
        free(reply);
        const bool text = name == "UTF8_STRING" || name == "STRING" || name == "TEXT" || name == "COMPOUND_TEXT"
            || name.startsWith("text/plain");
        textTargets_[target] = text;
        return text;
    }

    // Windows of one X11 client share the bits outside the resource mask.
    // Without a window manager naming the active window every request counts.
    bool fromActiveApplication(xcb_window_t requestor)
    {
        const auto cookie = xcb_get_property(connection_, 0, root_, activeWindow_, XCB_ATOM_WINDOW, 0, 1);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        xcb_window_t active = xcb_window_t(XCB_WINDOW_NONE);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
            active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        free(reply);
        return active == XCB_WINDOW_NONE || (active & ~clientMask_) == (requestor & ~clientMask_);
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    uint32_t clientMask_;
    xcb_atom_t activeWindow_;
    xcb_atom_t clipboard_;
    std::map<xcb_atom_t, bool> textTargets_;
    std::map<PasteboardSelection, Watched> watched_;
};

QtPasteboard::QtPasteboard()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    watcher_ = std::make_shared<RequestWatcher>(x11->connection());
    QCoreApplication::instance()->installNativeEventFilter(watcher_.get());
}

QtPasteboard::~QtPasteboard()
{
    if (watcher_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(watcher_.get());
}

std::optional<PasteboardRequests> QtPasteboard::requests(PasteboardSelection selection)
{
    if (!watcher_)
        return std::nullopt;
    return watcher_->requests(selection);
}

bool QtPasteboard::holdsText(PasteboardSelection selection, const QString& text)
{
    QClipboard* board = clipboard(selection);
    const QPointer<QMimeData>& set = set_[selection];
    // mimeData() asks the X server who owns the selection; only our own
    // data is read.
    return board && set && owns(board, selection) && board->mimeData(modeOf(selection)) == set.data()
        && set->text() == text;
}

QStringList QtPasteboard::formats(PasteboardSelection selection)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return {};
    const QMimeData* data = board->mimeData(modeOf(selection));
    return data ? data->formats() : QStringList();
}

std::optional<QByteArray> QtPasteboard::data(PasteboardSelection selection, const QString& format)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return std::nullopt;
    const QMimeData* data = board->mimeData(modeOf(selection));
    if (!data || !data->hasFormat(format))
        return std::nullopt;
    return data->data(format);
}

bool QtPasteboard::setText(PasteboardSelection selection, const QString& text)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return false;
    auto* data = new QMimeData;
    data->setText(text);
    board->setMimeData(data, modeOf(selection));
    set_[selection] = data;
    if (watcher_)
        watcher_->arm(selection);
    return owns(board, selection);
}

bool QtPasteboard::setEntries(PasteboardSelection selection, const std::vector<PasteboardEntry>& entries)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return false;
    if (watcher_)
        watcher_->arm(selection);
    set_[selection] = nullptr;
    if (entries.empty()) {
        board->clear(modeOf(selection));
        return true;
    }
    auto* data = new QMimeData;
    for (const auto& entry : entries)
        data->setData(entry.format, entry.data);
    board->setMimeData(data, modeOf(selection));
    set_[selection] = data;
    return owns(board, selection);
}

} // namespace vellamor::platform
