#include "Platform/Pasteboard/SelectionDisplay.h"

#include <algorithm>
#include <cstdlib>

#include <poll.h>
#include <xcb/xfixes.h>

namespace vellamor::platform {

SelectionDisplay::SelectionDisplay()
{
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_))
        return;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    root_ = screens.data->root;
    clientMask_ = setup->resource_id_mask;
    const uint64_t maxBytes = uint64_t(xcb_get_maximum_request_length(connection_)) * 4;
    chunk_ = qsizetype(std::min<uint64_t>(maxBytes > 1024 ? maxBytes - 512 : 512, 256 * 1024));

    window_ = xcb_generate_id(connection_);
    const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
                      values);

    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(connection_, &xcb_xfixes_id);
    if (fixes && fixes->present) {
        XcbReply version(xcb_xfixes_query_version_reply(
            connection_, xcb_xfixes_query_version(connection_, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
            nullptr));
        if (version)
            fixesEvent_ = fixes->first_event;
    }
    xcb_flush(connection_);
}

SelectionDisplay::~SelectionDisplay()
{
    if (connection_)
        xcb_disconnect(connection_);
}

bool SelectionDisplay::connected() const
{
    return connection_ && !xcb_connection_has_error(connection_) && window_ != XCB_WINDOW_NONE;
}

bool SelectionDisplay::failed() const
{
    return xcb_connection_has_error(connection_) != 0;
}

int SelectionDisplay::fileDescriptor() const
{
    return xcb_get_file_descriptor(connection_);
}

xcb_atom_t SelectionDisplay::atom(const QByteArray& name)
{
    if (const auto known = atoms_.find(name); known != atoms_.end())
        return known->second;
    const auto cookie = xcb_intern_atom(connection_, 0, uint16_t(name.size()), name.constData());
    XcbReply reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    atoms_[name] = value;
    names_[value] = name;
    return value;
}

QByteArray SelectionDisplay::nameOf(xcb_atom_t value)
{
    if (const auto known = names_.find(value); known != names_.end())
        return known->second;
    XcbReply reply(xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, value), nullptr));
    QByteArray name;
    if (reply)
        name = QByteArray(xcb_get_atom_name_name(reply.reply), xcb_get_atom_name_name_length(reply.reply));
    names_[value] = name;
    atoms_[name] = value;
    return name;
}

xcb_window_t SelectionDisplay::ownerOf(xcb_atom_t selection)
{
    XcbReply reply(
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
}

std::optional<uint32_t> SelectionDisplay::activeClient()
{
    const auto cookie = xcb_get_property(connection_, 0, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1);
    XcbReply reply(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.reply) != 4)
        return std::nullopt;
    const xcb_window_t active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.reply));
    if (active == XCB_WINDOW_NONE)
        return std::nullopt;
    return clientOf(active);
}

xcb_timestamp_t SelectionDisplay::serverTime()
{
    const xcb_atom_t property = atom("VELLAMOR_TIME");
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, property, XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_generic_event_t* event = waitFor(
        [&](const xcb_generic_event_t* e) {
            return isPropertyNotify(e, window_, property, XCB_PROPERTY_NEW_VALUE);
        },
        Clock::now() + std::chrono::seconds(1));
    const xcb_timestamp_t time =
        event ? reinterpret_cast<const xcb_property_notify_event_t*>(event)->time : XCB_CURRENT_TIME;
    free(event);
    return time;
}

bool SelectionDisplay::take(xcb_atom_t selection, xcb_timestamp_t time)
{
    xcb_set_selection_owner(connection_, window_, selection, time);
    return ownerOf(selection) == window_;
}

void SelectionDisplay::watchOwner(xcb_atom_t selection)
{
    if (fixesEvent_)
        xcb_xfixes_select_selection_input(connection_, window_, selection,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
}

xcb_generic_event_t* SelectionDisplay::drain(const Wanted& wanted)
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if (wanted && wanted(event))
            return event;
        if (handler_)
            handler_->dispatch(event);
        free(event);
    }
    return nullptr;
}

xcb_generic_event_t* SelectionDisplay::waitFor(const Wanted& wanted, TimePoint deadline, int cutFd)
{
    bool cut = false;
    while (true) {
        xcb_flush(connection_);
        if (xcb_generic_event_t* event = drain(wanted))
            return event;
        if (failed() || cut)
            return nullptr;
        const TimePoint now = Clock::now();
        if (handler_)
            handler_->tick(now);
        if (now >= deadline)
            return nullptr;
        cut = poll(deadline, cutFd);
    }
}

bool SelectionDisplay::poll(std::optional<TimePoint> deadline, int extraFd)
{
    xcb_flush(connection_);
    std::optional<TimePoint> until = deadline;
    if (const auto next = handler_ ? handler_->nextWake() : std::nullopt)
        until = until ? std::min(*until, *next) : *next;
    int timeout = -1;
    if (until) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
        timeout = int(std::clamp<long long>(left, 0, 60'000));
    }
    pollfd fds[2] = {{fileDescriptor(), POLLIN, 0}, {extraFd, POLLIN, 0}};
    ::poll(fds, extraFd >= 0 ? 2 : 1, timeout);
    return extraFd >= 0 && (fds[1].revents & POLLIN);
}

bool SelectionDisplay::isSelectionNotify(const xcb_generic_event_t* event, xcb_window_t requestor,
                                         xcb_atom_t selection, xcb_atom_t target)
{
    if (typeOf(event) != XCB_SELECTION_NOTIFY)
        return false;
    const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
    return notify->requestor == requestor && notify->selection == selection && notify->target == target;
}

bool SelectionDisplay::isPropertyNotify(const xcb_generic_event_t* event, xcb_window_t window, xcb_atom_t property,
                                        uint8_t state)
{
    if (typeOf(event) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    return notify->window == window && notify->atom == property && notify->state == state;
}

} // namespace vellamor::platform
