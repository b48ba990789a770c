#pragma once

#include "Platform/Pasteboard/Pasteboard.h"

namespace vellamor::platform {

// The clipboards through QClipboard. Reading another owner's data makes Qt
// wait for it (briefly, with its own timeout); writing makes this process
// the owner, which then serves the data from the event loop. Main thread.
class QtPasteboard final : public Pasteboard {
public:
    QStringList formats(PasteboardSelection selection) override;
    std::optional<QByteArray> data(PasteboardSelection selection, const QString& format) override;
    bool setText(PasteboardSelection selection, const QString& text) override;
    bool setEntries(PasteboardSelection selection, const std::vector<PasteboardEntry>& entries) override;
};

} // namespace vellamor::platform
