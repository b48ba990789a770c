#include "Platform/Pasteboard/SelectionReader.h"

#include "Platform/Pasteboard/SelectionTargets.h"

#include <QList>

#include <poll.h>

namespace vellamor::platform {

namespace {

// Properties in turn: enough that a late answer finds its own long deleted.
constexpr unsigned readProperties = 8;

} // namespace

SelectionReader::SelectionReader(SelectionDisplay& display, Limits limits, int cutFd)
    : display_(display), limits_(limits), cutFd_(cutFd)
{
}

bool SelectionReader::cutShort() const
{
    pollfd fd{cutFd_, POLLIN, 0};
    return cutFd_ >= 0 && ::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN);
}

std::optional<SelectionContents> SelectionReader::readAll(xcb_atom_t selection)
{
    if (display_.ownerOf(selection) == XCB_WINDOW_NONE)
        return SelectionContents{};
    if (cutShort())
        return std::nullopt;
    const auto deadline = SelectionDisplay::Clock::now() + limits_.whole;
    const xcb_timestamp_t time = display_.serverTime();
    const Answer targets = convert(selection, display_.atom("TARGETS"), time, deadline);
    if (!targets)
        return std::nullopt;
    QList<QByteArray> offered;
    if (*targets && (*targets)->format == 32) {
        const auto* atoms = reinterpret_cast<const xcb_atom_t*>((*targets)->data.constData());
        for (qsizetype i = 0; i < (*targets)->data.size() / qsizetype(sizeof(xcb_atom_t)); ++i)
            offered << display_.nameOf(atoms[i]);
    }
    SelectionContents contents;
    for (const QByteArray& name : SelectionTargets::worthKeeping(offered)) {
        Answer item = convert(selection, display_.atom(name), time, deadline);
        if (!item)
            return std::nullopt;
        if (*item)
            contents.push_back(std::move(**item));
    }
    return contents;
}

xcb_atom_t SelectionReader::nextProperty()
{
    return display_.atom("VELLAMOR_SELECTION_" + QByteArray::number(reads_++ % readProperties));
}

xcb_generic_event_t* SelectionReader::waitFor(const SelectionDisplay::Wanted& wanted,
                                              SelectionDisplay::TimePoint deadline)
{
    return display_.waitFor(wanted, std::min(deadline, SelectionDisplay::Clock::now() + limits_.step), cutFd_);
}

SelectionReader::Answer SelectionReader::convert(xcb_atom_t selection, xcb_atom_t target, xcb_timestamp_t time,
                                                 SelectionDisplay::TimePoint deadline)
{
    const xcb_atom_t property = nextProperty();
    const xcb_window_t window = display_.window();
    xcb_delete_property(display_.connection(), window, property);
    xcb_convert_selection(display_.connection(), window, selection, target, property, time);
    xcb_generic_event_t* answer = waitFor(
        [&](const xcb_generic_event_t* e) {
            if (!SelectionDisplay::isSelectionNotify(e, window, selection, target))
                return false;
            const xcb_atom_t answered = reinterpret_cast<const xcb_selection_notify_event_t*>(e)->property;
            return answered == property || answered == XCB_ATOM_NONE;
        },
        deadline);
    if (!answer)
        return std::nullopt;
    const bool refused = reinterpret_cast<const xcb_selection_notify_event_t*>(answer)->property == XCB_ATOM_NONE;
    free(answer);
    if (refused)
        return std::optional<SelectionItem>();
    auto first = takeProperty(property);
    if (!first)
        return std::nullopt;
    if (first->type != display_.atom("INCR"))
        return std::optional<SelectionItem>(SelectionItem{target, first->type, first->format, std::move(first->data)});
    return readInParts(property, SelectionItem{target, XCB_ATOM_NONE, 8, {}}, deadline);
}

SelectionReader::Answer SelectionReader::readInParts(xcb_atom_t property, SelectionItem item,
                                                     SelectionDisplay::TimePoint deadline)
{
    const xcb_window_t window = display_.window();
    while (true) {
        xcb_generic_event_t* part = waitFor(
            [&](const xcb_generic_event_t* e) {
                return SelectionDisplay::isPropertyNotify(e, window, property, XCB_PROPERTY_NEW_VALUE);
            },
            deadline);
        if (!part)
            return std::nullopt;
        free(part);
        auto chunk = takeProperty(property);
        if (!chunk)
            return std::nullopt;
        if (chunk->data.isEmpty())
            return std::optional<SelectionItem>(std::move(item));
        item.type = chunk->type;
        item.format = chunk->format;
        item.data += chunk->data;
    }
}

std::optional<SelectionItem> SelectionReader::takeProperty(xcb_atom_t property)
{
    const auto cookie = xcb_get_property(display_.connection(), 1, display_.window(), property,
                                         XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4);
    XcbReply reply(xcb_get_property_reply(display_.connection(), cookie, nullptr));
    if (!reply)
        return std::nullopt;
    const int length = xcb_get_property_value_length(reply.reply);
    return SelectionItem{XCB_ATOM_NONE, reply->type, reply->format,
                         QByteArray(static_cast<const char*>(xcb_get_property_value(reply.reply)), length)};
}

} // namespace vellamor::platform
