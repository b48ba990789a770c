#pragma once

#include "Platform/Pasteboard/Pasteboard.h"

#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace vellamor::test {

// Two clipboards held in memory. Each can also advertise formats that have
// no data (as X11 owners list TARGETS and the like); asking for those fails
// the test, since a snapshot must not read them. Every write is recorded.
class FakePasteboard final : public platform::Pasteboard {
public:
    struct Write {
        platform::PasteboardSelection selection;
        std::vector<platform::PasteboardEntry> entries;
    };

    // Sets the contents as another application would; writes are not recorded.
    void hold(platform::PasteboardSelection selection, std::vector<platform::PasteboardEntry> entries,
              QStringList pseudoFormats = {});

    const std::vector<platform::PasteboardEntry>& contents(platform::PasteboardSelection selection) const;
    // The "text/plain" data as text; none without it.
    std::optional<QString> text(platform::PasteboardSelection selection) const;
    const std::vector<Write>& writes() const { return writes_; }

    // setText() on that selection answers false and changes nothing.
    bool refuseText = false;
    std::optional<platform::PasteboardSelection> refuseTextOn;
    // The target application fetches the text, as on a paste.
    void fetch(platform::PasteboardSelection selection);

    QStringList formats(platform::PasteboardSelection selection) override;
    std::optional<QByteArray> data(platform::PasteboardSelection selection, const QString& format) override;
    bool setText(platform::PasteboardSelection selection, const QString& text) override;
    bool setEntries(platform::PasteboardSelection selection,
                    const std::vector<platform::PasteboardEntry>& entries) override;
    std::optional<int> textFetches(platform::PasteboardSelection selection) override;

private:
    struct Board {
        std::vector<platform::PasteboardEntry> entries;
        QStringList pseudoFormats;
        int fetches = 0;
    };

    Board& board(platform::PasteboardSelection selection) { return boards_[selection]; }

    std::map<platform::PasteboardSelection, Board> boards_;
    std::vector<Write> writes_;
};

} // namespace vellamor::test
