#include "Diagnostics/LogViewerModel.h"

#include "Logging/LogReader.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Platform/Workspace/Workspace.h"

#include <QFileInfo>
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

void LogViewerModel::reload()
{
    status = QStringLiteral("加载中...");
    isLoading = true;
    const std::optional<QString> text = LogReader::readLocal(logFile_, lines_);
    const QString path = logFile_.value_or(QStringLiteral("(未知)"));
    content = text.value_or(QString());
    status = path + QStringLiteral(" · ") + QString::number(lineCount(content.value())) + QStringLiteral(" 行");
    isLoading = false;
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
            alive->openUrl(folder);
    });
}

} // namespace vellamor
