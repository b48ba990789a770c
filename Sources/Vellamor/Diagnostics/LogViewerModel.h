#pragma once

#include "Support/Async/Published.h"

#include <QString>

#include <memory>
#include <optional>

namespace vellamor {

namespace platform {
class Pasteboard;
class Workspace;
} // namespace platform

// The end of the application's own log file as the log viewer shows it: how
// many lines to read, the text read, a status line, and the copy and
// show-in-file-manager actions. Reading is synchronous and bounded by the
// log reader's window. The file's lines were redacted when written, so they
// are shown and copied as they are. Main thread only.
class LogViewerModel {
public:
    static constexpr int minimumLines = 50;
    static constexpr int maximumLines = 2000;
    static constexpr int lineStep = 100;

    // `logFile` is the log's location; none when it is unknown.
    LogViewerModel(std::optional<QString> logFile, std::shared_ptr<platform::Pasteboard> pasteboard,
                   std::shared_ptr<platform::Workspace> workspace);

    Published<QString> content{QString()};
    Published<QString> status{QStringLiteral("未加载")};
    Published<bool> isLoading{false};

    // Takes effect at the next reload().
    int lines() const { return lines_; }
    void setLines(int lines);

    bool canCopy() const { return !content.value().isEmpty(); }
    // The location is known; whether the file exists is not checked.
    bool canReveal() const { return logFile_.has_value(); }

    void reload();
    // Puts the shown text, never a placeholder, on the clipboard.
    void copy();
    // Shows the file selected in the file manager, or opens its folder when
    // no file manager takes the request.
    void reveal();

    // 0 for no text, otherwise the stretches of text that line feeds separate, empty ones too.
    static int lineCount(const QString& text);

private:
    std::optional<QString> logFile_;
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<platform::Workspace> workspace_;
    int lines_ = 500;
};

} // namespace vellamor
