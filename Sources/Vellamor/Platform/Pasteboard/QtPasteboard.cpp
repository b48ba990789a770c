#include "Platform/Pasteboard/QtPasteboard.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <functional>
#include <map>

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

// Counts the times the text of a selection was served to the active window's
// application. Qt serves a request right after this filter has seen it,
// within the same turn of the event loop; a request it refuses (a target it
// does not offer) asks for no data and does not count.
class QtPasteboard::RequestWatcher final : public QAbstractNativeEventFilter {
public:
    explicit RequestWatcher(xcb_connection_t* connection)
        : connection_(connection)
        , root_(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root)
        , clientMask_(xcb_get_setup(connection)->resource_id_mask)
        , activeWindow_(atomNamed(connection, "_NET_ACTIVE_WINDOW"))
    {
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
            requestFromActive_ = fromActiveApplication(request->requestor);
        }
        return false;
    }

    void served(PasteboardSelection selection)
    {
        if (requestFromActive_)
            ++fetches_[selection];
    }
    void reset(PasteboardSelection selection) { fetches_[selection] = 0; }
    int fetches(PasteboardSelection selection) { return fetches_[selection]; }

private:
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
    bool requestFromActive_ = false;
    std::map<PasteboardSelection, int> fetches_;
};

namespace {

// A text that tells when it is handed out.
class ServedText final : public QMimeData {
public:
    explicit ServedText(std::function<void()> onServed) : onServed_(std::move(onServed)) {}

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (onServed_ && mimeType == QLatin1String("text/plain"))
            onServed_();
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::function<void()> onServed_;
};

} // namespace

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

std::optional<int> QtPasteboard::textFetches(PasteboardSelection selection)
{
    if (!watcher_)
        return std::nullopt;
    return watcher_->fetches(selection);
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
    // The text may stay on the clipboard after this object is gone.
    std::function<void()> onServed;
    if (watcher_) {
        watcher_->reset(selection);
        onServed = [watcher = std::weak_ptr<RequestWatcher>(watcher_), selection] {
            if (const auto alive = watcher.lock())
                alive->served(selection);
        };
    }
    auto* data = new ServedText(std::move(onServed));
    data->setText(text);
    board->setMimeData(data, modeOf(selection));
    return owns(board, selection);
}

bool QtPasteboard::setEntries(PasteboardSelection selection, const std::vector<PasteboardEntry>& entries)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return false;
    if (entries.empty()) {
        board->clear(modeOf(selection));
        return true;
    }
    auto* data = new QMimeData;
    for (const auto& entry : entries)
        data->setData(entry.format, entry.data);
    board->setMimeData(data, modeOf(selection));
    if (watcher_)
        watcher_->reset(selection);
    return owns(board, selection);
}

} // namespace vellamor::platform
