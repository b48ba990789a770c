#pragma once

#include "Platform/Pasteboard/Pasteboard.h"
#include "RecordingInsertionSleep.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vellamor::test {

// Two clipboards held in memory, and the application the text is pasted
// into. Each clipboard can also advertise formats that have no data (as X11
// owners list TARGETS and the like); asking for those fails the test, since a
// snapshot must not read them. Every write is recorded with its time on the
// shared virtual clock, and so is what the application got for each request.
class FakePasteboard final : public platform::Pasteboard {
public:
    struct Write {
        platform::PasteboardSelection selection;
        std::vector<platform::PasteboardEntry> entries;
        std::chrono::milliseconds at;
    };
    using Action = std::function<void(FakePasteboard&)>;

    explicit FakePasteboard(std::shared_ptr<FakeInsertionClock> clock = std::make_shared<FakeInsertionClock>());

    // Sets the contents as another application would (it owns the selection
    // from then on); writes are not recorded, requests seen still count.
    void hold(platform::PasteboardSelection selection, std::vector<platform::PasteboardEntry> entries,
              QStringList pseudoFormats = {});

    const std::vector<platform::PasteboardEntry>& contents(platform::PasteboardSelection selection) const;
    // The "text/plain" data as text; none without it.
    std::optional<QString> text(platform::PasteboardSelection selection) const;
    const std::vector<Write>& writes() const { return writes_; }
    // The text the application got for each of its requests, in order.
    const std::vector<std::optional<QString>>& fetched() const { return fetched_; }

    // setText() on that selection answers false and changes nothing.
    bool refuseText = false;
    std::optional<platform::PasteboardSelection> refuseTextOn;
    // The target application asks for the text, as on a paste.
    void fetch(platform::PasteboardSelection selection);
    // The text is being sent to it in parts, or no longer.
    void transfer(platform::PasteboardSelection selection, bool underWay);
    // Runs `action` once the clock is `after` past the first setText(), when
    // the paste next looks at the clipboards (requests(), holdsText()).
    void at(std::chrono::milliseconds after, Action action);

    QStringList formats(platform::PasteboardSelection selection) override;
    std::optional<QByteArray> data(platform::PasteboardSelection selection, const QString& format) override;
    bool setText(platform::PasteboardSelection selection, const QString& text) override;
    bool setEntries(platform::PasteboardSelection selection,
                    const std::vector<platform::PasteboardEntry>& entries) override;
    std::optional<platform::PasteboardRequests> requests(platform::PasteboardSelection selection) override;
    bool holdsText(platform::PasteboardSelection selection, const QString& text) override;

private:
    struct Board {
        std::vector<platform::PasteboardEntry> entries;
        QStringList pseudoFormats;
        bool ours = false;
        platform::PasteboardRequests requests;
    };

    Board& board(platform::PasteboardSelection selection) { return boards_[selection]; }
    void set(platform::PasteboardSelection selection, std::vector<platform::PasteboardEntry> entries);
    void runDueActions();

    std::shared_ptr<FakeInsertionClock> clock_;
    std::map<platform::PasteboardSelection, Board> boards_;
    std::vector<Write> writes_;
    std::vector<std::optional<QString>> fetched_;
    std::optional<std::chrono::milliseconds> firstTextAt_;
    std::multimap<std::chrono::milliseconds, Action> actions_;
};

} // namespace vellamor::test
