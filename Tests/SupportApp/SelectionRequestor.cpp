#include "SelectionRequestor.h"

#include <cstdlib>
#include <map>

#include <poll.h>
#include <xcb/xfixes.h>

namespace vellamor::test {

namespace {

struct Part {
    bool inParts = false;
    bool done = false;
    QByteArray data;
};

} // namespace

SelectionRequestor::SelectionRequestor()
{
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_))
        return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    window_ = xcb_generate_id(connection_);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1,
                        &window_);
    xcb_flush(connection_);
}

SelectionRequestor::~SelectionRequestor()
{
    xcb_disconnect(connection_);
}

xcb_atom_t SelectionRequestor::atom(const QByteArray& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

std::optional<std::pair<xcb_atom_t, QByteArray>> SelectionRequestor::take(xcb_atom_t property)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 1, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
        nullptr);
    if (!reply)
        return std::nullopt;
    std::pair<xcb_atom_t, QByteArray> value{
        reply->type, QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                                xcb_get_property_value_length(reply))};
    free(reply);
    return value;
}

xcb_generic_event_t* SelectionRequestor::waitFor(uint8_t type, std::chrono::steady_clock::time_point deadline)
{
    while (true) {
        xcb_flush(connection_);
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == type)
                return event;
            free(event);
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(connection_))
            return nullptr;
        pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&fd, 1, int(left.count()));
    }
}

std::optional<std::vector<QByteArray>> SelectionRequestor::read(const QByteArray& selection,
                                                               const std::vector<QByteArray>& targets, bool multiple,
                                                               std::chrono::milliseconds limit, xcb_timestamp_t time)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<xcb_atom_t> properties;
    std::vector<xcb_atom_t> pairs;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        properties.push_back(atom(QByteArrayLiteral("TEST_SELECTION_").append(QByteArray::number(qulonglong(i)))));
        pairs.insert(pairs.end(), {atom(targets[i]), properties.back()});
    }
    if (multiple) {
        const xcb_atom_t list = atom("TEST_MULTIPLE");
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, list, atom("ATOM_PAIR"), 32,
                            uint32_t(pairs.size()), pairs.data());
        xcb_convert_selection(connection_, window_, atom(selection), atom("MULTIPLE"), list, time);
    } else {
        xcb_convert_selection(connection_, window_, atom(selection), pairs[0], pairs[1], time);
    }
    xcb_generic_event_t* notify = waitFor(XCB_SELECTION_NOTIFY, deadline);
    const bool refused = !notify || reinterpret_cast<xcb_selection_notify_event_t*>(notify)->property == XCB_ATOM_NONE;
    free(notify);
    if (refused)
        return std::nullopt;

    const xcb_atom_t incr = atom("INCR");
    std::map<xcb_atom_t, Part> parts;
    for (const xcb_atom_t property : properties) {
        const auto first = take(property);
        if (!first)
            return std::nullopt;
        parts[property] = first->first == incr ? Part{true, false, {}} : Part{false, true, first->second};
    }
    // Each transfer in parts sends its next part once the last is deleted, and
    // ends with an empty one. They are taken one after another, as a requestor
    // may: the first ends while the others still run.
    for (const xcb_atom_t property : properties) {
        Part& part = parts[property];
        while (!part.done) {
            const auto chunk = take(property);
            if (!chunk)
                return std::nullopt;
            // Not written yet: any change of the window's properties may be it.
            if (chunk->first == XCB_ATOM_NONE) {
                xcb_generic_event_t* event = waitFor(XCB_PROPERTY_NOTIFY, deadline);
                if (!event)
                    return std::nullopt;
                free(event);
                continue;
            }
            part.done = chunk->second.isEmpty();
            part.data += chunk->second;
        }
    }
    std::vector<QByteArray> data;
    for (const xcb_atom_t property : properties)
        data.push_back(parts[property].data);
    return data;
}

xcb_timestamp_t SelectionRequestor::serverTime()
{
    const xcb_atom_t property = atom("TEST_SERVER_TIME");
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, property, XCB_ATOM_STRING, 8, 0, nullptr);
    while (xcb_generic_event_t* event =
               waitFor(XCB_PROPERTY_NOTIFY, std::chrono::steady_clock::now() + std::chrono::seconds(30))) {
        const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
        const xcb_timestamp_t time = change->atom == property ? change->time : XCB_CURRENT_TIME;
        free(event);
        if (time != XCB_CURRENT_TIME)
            return time;
    }
    return XCB_CURRENT_TIME;
}

void SelectionRequestor::watchOwner(const QByteArray& selection)
{
    free(xcb_xfixes_query_version_reply(connection_, xcb_xfixes_query_version(connection_, 5, 0), nullptr));
    fixesEvent_ = xcb_get_extension_data(connection_, &xcb_xfixes_id)->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    xcb_xfixes_select_selection_input(connection_, window_, atom(selection),
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xcb_flush(connection_);
}

bool SelectionRequestor::waitForOwnerChange(std::chrono::milliseconds limit)
{
    xcb_generic_event_t* event = waitFor(fixesEvent_, std::chrono::steady_clock::now() + limit);
    free(event);
    return event != nullptr;
}

} // namespace vellamor::test
