#pragma once

#include "Platform/Pasteboard/Pasteboard.h"

#include <vector>

namespace vellamor {

// What a clipboard held before a paste borrowed it: every real format with
// its data. Left out are the X11 selection targets that describe the
// transfer rather than the content (upper-case names without a "/", such as
// "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS": asking for their data
// fails or yields the owner's bookkeeping) and Qt's internal image alias,
// which is served from the real image formats.
class ClipboardSnapshot {
public:
    static bool keepsFormat(const QString& format);

    // Reads every kept format; a format offered twice keeps its last data,
    // a format whose data cannot be read is left out.
    static ClipboardSnapshot take(platform::Pasteboard& pasteboard, platform::PasteboardSelection selection);

    // Puts the saved formats back as one item (an empty snapshot empties the selection).
    bool restore(platform::Pasteboard& pasteboard, platform::PasteboardSelection selection) const;

    const std::vector<platform::PasteboardEntry>& entries() const { return entries_; }

private:
    std::vector<platform::PasteboardEntry> entries_;
};

} // namespace vellamor
