#include "Diagnostics/LogViewerModel.h"

#include "Logging/LogPartText.h"
#include "Logging/LogReader.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Platform/Workspace/Workspace.h"
#include "Support/Async/MainThread.h"

#include <QFileInfo>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>

namespace vellamor {

LogViewerModel::LogViewerModel(std::optional<QString> logFile, std::shared_ptr<platform::Pasteboard> pasteboard,
                               std::shared_ptr<platform::Workspace> workspace)
    : logFile_(std::move(logFile))
    , pasteboard_(std::move(pasteboard))
    , workspace_(std::move(workspace))
{
}

void LogViewerModel::setLines(int lines)
{
    lines_ = std::clamp(lines, minimumLines, maximumLines);
}

int LogViewerModel::lineCount(const QString& text)
{
    return text.isEmpty() ? 0 : int(text.count(QLatin1Char('\n'))) + 1;
}

QString LogViewerModel::boundedLines(const QString& text)
{
    if (text.size() <= maxLineBytes / 3)
        return text;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = LogPartText::cut(line, maxLineBytes);
    return lines.join(QLatin1Char('\n'));
}

void LogViewerModel::reload()
{
    status = QStringLiteral("加载中...");
    isLoading = true;
    const quint64 ticket = ++startedReloads_;
    QThreadPool::globalInstance()->start(
        [file = logFile_, lines = lines_, alive = std::weak_ptr<int>(alive_), this, ticket] {
            QString text = boundedLines(LogReader::readLocal(file, lines).value_or(QString()));
            postToMainThread([alive, this, ticket, text = std::move(text)] {
                // The model lives and dies on the main thread, where this runs.
                if (alive.expired() || ticket != startedReloads_)
                    return;
                content = text;
                status = logFile_.value_or(QStringLiteral("(未知)")) + QStringLiteral(" · ")
                    + QString::number(lineCount(text)) + QStringLiteral(" 行");
                isLoading = false;
            });
        });
}

void LogViewerModel::copy()
{
    if (canCopy())
        pasteboard_->setText(platform::PasteboardSelection::clipboard, content.value());
}

void LogViewerModel::reveal()
{
    if (!logFile_)
        return;
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(*logFile_).absolutePath());
    workspace_->showInFileManager(*logFile_, [workspace = std::weak_ptr(workspace_), folder](bool shown) {
        if (shown)
            return;
        if (const auto alive = workspace.lock())
            alive->openUrl(folder, {});
    });
}

} // namespace vellamor
