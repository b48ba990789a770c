#pragma once

#include "Platform/Pasteboard/Pasteboard.h"

#include <QMimeData>
#include <QPointer>

#include <map>
#include <memory>

namespace vellamor::platform {

// The clipboards through QClipboard. Reading another owner's data makes Qt
// wait for it (briefly, with its own timeout); writing makes this process
// the owner, which then serves the data from the event loop. Requests are
// seen in the selection requests for a text target reaching Qt's X11
// connection, a transfer in parts in the requestor windows Qt still follows
// (none seen on other platforms). Main thread; build it after the application object.
class QtPasteboard final : public Pasteboard {
public:
    QtPasteboard();
    ~QtPasteboard() override;

    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    QStringList formats(PasteboardSelection selection) override;
    std::optional<QByteArray> data(PasteboardSelection selection, const QString& format) override;
    bool setText(PasteboardSelection selection, const QString& text) override;
    bool setEntries(PasteboardSelection selection, const std::vector<PasteboardEntry>& entries) override;
    std::optional<PasteboardRequests> requests(PasteboardSelection selection) override;
    bool holdsText(PasteboardSelection selection, const QString& text) override;

private:
    class RequestWatcher;

    std::shared_ptr<RequestWatcher> watcher_;
    // What this process last put on each selection (Qt deletes it once replaced).
    std::map<PasteboardSelection, QPointer<QMimeData>> set_;
};

} // namespace vellamor::platform
