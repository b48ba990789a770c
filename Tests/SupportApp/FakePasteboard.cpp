#include "FakePasteboard.h"

#include <gtest/gtest.h>

namespace vellamor::test {

void FakePasteboard::hold(platform::PasteboardSelection selection, std::vector<platform::PasteboardEntry> entries,
                          QStringList pseudoFormats)
{
    board(selection) = {std::move(entries), std::move(pseudoFormats)};
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
    board(selection) = {{{QStringLiteral("text/plain"), text.toUtf8()}}, {}};
    writes_.push_back({selection, board(selection).entries});
    return true;
}

bool FakePasteboard::setEntries(platform::PasteboardSelection selection,
                                const std::vector<platform::PasteboardEntry>& entries)
{
    board(selection) = {entries, {}};
    writes_.push_back({selection, entries});
    return true;
}

void FakePasteboard::fetch(platform::PasteboardSelection selection)
{
    ++board(selection).fetches;
}

std::optional<int> FakePasteboard::textFetches(platform::PasteboardSelection selection)
{
    return board(selection).fetches;
}

} // namespace vellamor::test
