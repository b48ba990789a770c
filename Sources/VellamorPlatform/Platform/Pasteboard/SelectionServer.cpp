#include "Platform/Pasteboard/SelectionServer.h"

#include "Platform/Pasteboard/SelectionTargets.h"

#include <algorithm>

namespace vellamor::platform {

SelectionServer::SelectionServer(SelectionDisplay& display, Owner& owner, std::chrono::milliseconds stalled)
    : display_(display), owner_(owner), stalled_(stalled)
{
}

void SelectionServer::request(const xcb_selection_request_event_t& request)
{
    // Obsolete requestors name no property: the target's name stands for it.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    const bool multiple = request.target == display_.atom("MULTIPLE");
    std::optional<std::pair<std::vector<xcb_atom_t>, xcb_atom_t>> pairs;
    std::vector<xcb_atom_t> targets{request.target};
    if (multiple) {
        pairs = pairsOf(request.requestor, property);
        if (!pairs) {
            notify(request, XCB_ATOM_NONE);
            return;
        }
        targets.clear();
        for (std::size_t i = 0; i + 1 < pairs->first.size(); i += 2)
            targets.push_back(pairs->first[i]);
    }
    ClipboardLoan::Request asked{display_.clientOf(request.requestor), false, false};
    asked.text = std::any_of(targets.begin(), targets.end(),
                             [&](xcb_atom_t target) { return SelectionTargets::isText(display_.nameOf(target)); });
    const Offer offer = owner_.offer(request.selection, request.time, asked);
    if (!offer.contents) {
        notify(request, XCB_ATOM_NONE);
        return;
    }
    bool inParts = false;
    bool answered = true;
    if (multiple) {
        auto& [list, type] = *pairs;
        for (std::size_t i = 0; i + 1 < list.size(); i += 2) {
            if (list[i] == request.target || !answer(request.requestor, list[i + 1], list[i], offer, inParts))
                list[i + 1] = XCB_ATOM_NONE;
        }
        xcb_change_property(display_.connection(), XCB_PROP_MODE_REPLACE, request.requestor, property, type, 32,
                            uint32_t(list.size()), list.data());
    } else {
        answered = answer(request.requestor, property, request.target, offer, inParts);
    }
    notify(request, answered ? property : xcb_atom_t(XCB_ATOM_NONE));
    if (answered && !inParts && offer.tag && offer.tag->request.text)
        owner_.replied(*offer.tag, Reply::whole);
}

void SelectionServer::notify(const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(display_.connection(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(display_.connection());
}

std::optional<std::pair<std::vector<xcb_atom_t>, xcb_atom_t>> SelectionServer::pairsOf(xcb_window_t requestor,
                                                                                      xcb_atom_t property)
{
    const auto cookie = xcb_get_property(display_.connection(), 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                         UINT32_MAX / 4);
    XcbReply reply(xcb_get_property_reply(display_.connection(), cookie, nullptr));
    if (!reply || reply->format != 32)
        return std::nullopt;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.reply));
    const int count = xcb_get_property_value_length(reply.reply) / 4;
    return std::pair(std::vector<xcb_atom_t>(atoms, atoms + count), reply->type);
}

bool SelectionServer::answer(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target, const Offer& offer,
                             bool& inParts)
{
    xcb_connection_t* connection = display_.connection();
    if (target == display_.atom("TARGETS")) {
        std::vector<xcb_atom_t> targets{display_.atom("TARGETS"), display_.atom("TIMESTAMP"),
                                        display_.atom("MULTIPLE")};
        for (const SelectionItem& item : *offer.contents)
            targets.push_back(item.target);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            uint32_t(targets.size()), targets.data());
        return true;
    }
    if (target == display_.atom("TIMESTAMP")) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                            &offer.since);
        return true;
    }
    const auto item = std::find_if(offer.contents->begin(), offer.contents->end(),
                                   [&](const SelectionItem& candidate) { return candidate.target == target; });
    if (item == offer.contents->end())
        return false;
    if (item->data.size() <= display_.chunk()) {
        const uint32_t units = uint32_t(item->data.size() / std::max(1, item->format / 8));
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, item->type, item->format, units,
                            item->data.constData());
        return true;
    }
    const Key key{requestor, property};
    // A requestor that asks into the same property again has given up on the last transfer.
    if (const auto running = transfers_.find(key); running != transfers_.end())
        finish(running, false);
    watch(requestor);
    const uint32_t size = uint32_t(item->data.size());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, requestor, property, display_.atom("INCR"), 32, 1, &size);
    const bool text = SelectionTargets::isText(display_.nameOf(target));
    const std::optional<Tag> tag = text ? offer.tag : std::nullopt;
    transfers_.emplace(key, Transfer{*item, 0, SelectionDisplay::Clock::now(), tag});
    if (tag)
        owner_.replied(*tag, Reply::partsStarted);
    inParts = inParts || text;
    return true;
}

void SelectionServer::propertyDeleted(xcb_window_t requestor, xcb_atom_t property)
{
    const auto transfer = transfers_.find({requestor, property});
    if (transfer == transfers_.end())
        return;
    Transfer& running = transfer->second;
    const SelectionItem& item = running.item;
    const QByteArray part = item.data.mid(running.offset, display_.chunk());
    xcb_change_property(display_.connection(), XCB_PROP_MODE_REPLACE, requestor, property, item.type, item.format,
                        uint32_t(part.size() / std::max(1, item.format / 8)), part.constData());
    running.offset += part.size();
    running.lastStep = SelectionDisplay::Clock::now();
    if (!part.isEmpty()) {
        if (running.tag)
            owner_.replied(*running.tag, Reply::partSent);
        return;
    }
    finish(transfer, true);
}

void SelectionServer::finish(std::map<Key, Transfer>::iterator transfer, bool whole)
{
    const std::optional<Tag> tag = transfer->second.tag;
    unwatch(transfer->first.first);
    transfers_.erase(transfer);
    if (tag)
        owner_.replied(*tag, whole ? Reply::partsEnded : Reply::partsDropped);
}

void SelectionServer::tick(TimePoint now)
{
    for (auto it = transfers_.begin(); it != transfers_.end();) {
        const auto next = std::next(it);
        if (now - it->second.lastStep >= stalled_)
            finish(it, false);
        it = next;
    }
}

std::optional<SelectionServer::TimePoint> SelectionServer::nextWake() const
{
    std::optional<TimePoint> next;
    for (const auto& [_, transfer] : transfers_)
        next = std::min(next.value_or(TimePoint::max()), transfer.lastStep + stalled_);
    return next;
}

void SelectionServer::watch(xcb_window_t requestor)
{
    if (watched_[requestor]++ > 0)
        return;
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(display_.connection(), requestor, XCB_CW_EVENT_MASK, &events);
}

void SelectionServer::unwatch(xcb_window_t requestor)
{
    const auto watched = watched_.find(requestor);
    if (watched == watched_.end() || --watched->second > 0)
        return;
    watched_.erase(watched);
    const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(display_.connection(), requestor, XCB_CW_EVENT_MASK, &none);
}

} // namespace vellamor::platform
