#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace vellamor::platform {

enum class PasteboardSelection {
    clipboard, // what Ctrl+V pastes
    primary,   // the last selected text, pasted with the middle button or Shift+Insert
};

struct PasteboardEntry {
    QString format;
    QByteArray data;

    friend bool operator==(const PasteboardEntry&, const PasteboardEntry&) = default;
};

// What the application of the active window has asked of a selection since
// this process last set it. Questions for the offered formats and other
// probes (TARGETS, TIMESTAMP) do not count, nor do other applications (a
// clipboard manager copying every change).
struct PasteboardRequests {
    // Requests for the text itself.
    int text = 0;
    // A text too large for one reply is still being sent to it in parts.
    bool transferring = false;

    friend bool operator==(const PasteboardRequests&, const PasteboardRequests&) = default;
};

// The session's clipboards. On X11 the owner serves the data when another
// application asks, so this process must keep its event loop running while
// it owns one. Main thread only.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Every format the current owner offers, as the window system names them.
    virtual QStringList formats(PasteboardSelection selection) = 0;
    // None when the owner does not deliver it.
    virtual std::optional<QByteArray> data(PasteboardSelection selection, const QString& format) = 0;

    // Replaces the contents with the text alone; false when this process
    // could not take the selection.
    virtual bool setText(PasteboardSelection selection, const QString& text) = 0;
    // Replaces the contents with `entries` in one item; empty entries leave
    // the selection empty.
    virtual bool setEntries(PasteboardSelection selection, const std::vector<PasteboardEntry>& entries) = 0;

    // None when requests cannot be seen.
    virtual std::optional<PasteboardRequests> requests(PasteboardSelection selection) = 0;
    // Whether this process still owns `selection` with exactly `text` on it,
    // as it set it; false once another program or the user has copied since.
    // Never asks another owner for its data.
    virtual bool holdsText(PasteboardSelection selection, const QString& text) = 0;
};

} // namespace vellamor::platform
