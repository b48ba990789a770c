#include "FakePasteboard.h"

#include <gtest/gtest.h>

namespace vellamor::test {

FakePasteboard::FakePasteboard(std::shared_ptr<FakeInsertionClock> clock) : clock_(std::move(clock)) {}

void FakePasteboard::hold(platform::PasteboardSelection selection, std::vector<platform::PasteboardEntry> entries,
                          QStringList pseudoFormats)
{
    // Requests seen before still count.
    Board& held = board(selection);
    held = {std::move(entries), std::move(pseudoFormats), false, held.requests};
}

const std::vector<platform::PasteboardEntry>& FakePasteboard::contents(platform::PasteboardSelection selection) const
{
    static const std::vector<platform::PasteboardEntry> empty;
    const auto found = boards_.find(selection);
    return found == boards_.end() ? empty : found->second.entries;
}

std::optional<QString> FakePasteboard::text(platform::PasteboardSelection selection) const
{
    for (const auto& entry : contents(selection)) {
        if (entry.format == QStringLiteral("text/plain"))
            return QString::fromUtf8(entry.data);
    }
    return std::nullopt;
}

QStringList FakePasteboard::formats(platform::PasteboardSelection selection)
{
    QStringList result = board(selection).pseudoFormats;
    for (const auto& entry : board(selection).entries)
        result << entry.format;
    return result;
}

std::optional<QByteArray> FakePasteboard::data(platform::PasteboardSelection selection, const QString& format)
{
    if (board(selection).pseudoFormats.contains(format))
        ADD_FAILURE() << "asked for the data of " << format.toStdString();
    // The last entry of a format wins, as when an owner offers it twice.
    std::optional<QByteArray> result;
    for (const auto& entry : board(selection).entries) {
        if (entry.format == format)
            result = entry.data;
    }
    return result;
}

bool FakePasteboard::setText(platform::PasteboardSelection selection, const QString& text)
{
    if (refuseText && (!refuseTextOn || *refuseTextOn == selection))
        return false;
    if (!firstTextAt_)
        firstTextAt_ = clock_->now;
    set(selection, {{QStringLiteral("text/plain"), text.toUtf8()}});
    return true;
}

bool FakePasteboard::setEntries(platform::PasteboardSelection selection,
                                const std::vector<platform::PasteboardEntry>& entries)
{
    set(selection, entries);
    return true;
}

void FakePasteboard::set(platform::PasteboardSelection selection, std::vector<platform::PasteboardEntry> entries)
{
    board(selection) = {entries, {}, true, {}};
    writes_.push_back({selection, std::move(entries), clock_->now});
}

void FakePasteboard::fetch(platform::PasteboardSelection selection)
{
    ++board(selection).requests.text;
    fetched_.push_back(text(selection));
}

void FakePasteboard::transfer(platform::PasteboardSelection selection, bool underWay)
{
    board(selection).requests.transferring = underWay;
}

void FakePasteboard::at(std::chrono::milliseconds after, Action action)
{
    actions_.emplace(after, std::move(action));
}

void FakePasteboard::runDueActions()
{
    while (firstTextAt_ && !actions_.empty() && actions_.begin()->first <= clock_->now - *firstTextAt_) {
        const Action action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        action(*this);
    }
}

std::optional<platform::PasteboardRequests> FakePasteboard::requests(platform::PasteboardSelection selection)
{
    runDueActions();
    return board(selection).requests;
}

bool FakePasteboard::holdsText(platform::PasteboardSelection selection, const QString& text)
{
    runDueActions();
    return board(selection).ours && this->text(selection) == text;
}

} // namespace vellamor::test
