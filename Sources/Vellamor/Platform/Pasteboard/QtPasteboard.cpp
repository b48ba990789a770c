#include "Platform/Pasteboard/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vellamor::platform {

namespace {

QClipboard::Mode modeOf(PasteboardSelection selection)
{
    return selection == PasteboardSelection::primary ? QClipboard::Selection : QClipboard::Clipboard;
}

QClipboard* clipboard(PasteboardSelection selection)
{
    QClipboard* board = QGuiApplication::clipboard();
    if (!board)
        return nullptr;
    if (selection == PasteboardSelection::primary && !board->supportsSelection())
        return nullptr;
    return board;
}

bool owns(QClipboard* board, PasteboardSelection selection)
{
    return selection == PasteboardSelection::primary ? board->ownsSelection() : board->ownsClipboard();
}

} // namespace

QStringList QtPasteboard::formats(PasteboardSelection selection)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return {};
    const QMimeData* data = board->mimeData(modeOf(selection));
    return data ? data->formats() : QStringList();
}

std::optional<QByteArray> QtPasteboard::data(PasteboardSelection selection, const QString& format)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return std::nullopt;
    const QMimeData* data = board->mimeData(modeOf(selection));
    if (!data || !data->hasFormat(format))
        return std::nullopt;
    return data->data(format);
}

bool QtPasteboard::setText(PasteboardSelection selection, const QString& text)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return false;
    board->setText(text, modeOf(selection));
    return owns(board, selection);
}

bool QtPasteboard::setEntries(PasteboardSelection selection, const std::vector<PasteboardEntry>& entries)
{
    QClipboard* board = clipboard(selection);
    if (!board)
        return false;
    if (entries.empty()) {
        board->clear(modeOf(selection));
        return true;
    }
    auto* data = new QMimeData;
    for (const auto& entry : entries)
        data->setData(entry.format, entry.data);
    board->setMimeData(data, modeOf(selection));
    return owns(board, selection);
}

} // namespace vellamor::platform
