#include "TextInsertion/ClipboardSnapshot.h"

#include <algorithm>

namespace vellamor {

bool ClipboardSnapshot::keepsFormat(const QString& format)
{
    if (format.isEmpty() || format == QStringLiteral("application/x-qt-image"))
        return false;
    if (format.contains(QLatin1Char('/')))
        return true;
    const bool selectionTarget = std::all_of(format.begin(), format.end(), [](QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('_');
    });
    return !selectionTarget;
}

ClipboardSnapshot ClipboardSnapshot::take(platform::Pasteboard& pasteboard, platform::PasteboardSelection selection)
{
    ClipboardSnapshot snapshot;
    for (const QString& format : pasteboard.formats(selection)) {
        if (!keepsFormat(format))
            continue;
        const auto data = pasteboard.data(selection, format);
        if (!data)
            continue;
        auto& entries = snapshot.entries_;
        const auto existing = std::find_if(entries.begin(), entries.end(),
                                           [&](const platform::PasteboardEntry& e) { return e.format == format; });
        if (existing != entries.end())
            existing->data = *data;
        else
            entries.push_back({format, *data});
    }
    return snapshot;
}

bool ClipboardSnapshot::restore(platform::Pasteboard& pasteboard, platform::PasteboardSelection selection) const
{
    return pasteboard.setEntries(selection, entries_);
}

} // namespace vellamor
