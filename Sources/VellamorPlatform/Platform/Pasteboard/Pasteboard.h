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

    // How often the application of the active window has asked for the text
    // of `selection` since this process last set it; none when this cannot
    // be told. Questions for the offered formats and other probes do not
    // count, nor do other applications (a clipboard manager copying every
    // change).
    virtual std::optional<int> textFetches(PasteboardSelection selection) = 0;
};

} // namespace vellamor::platform
