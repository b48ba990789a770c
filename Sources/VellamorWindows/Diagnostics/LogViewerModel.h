#pragma once

#include "Logging/LogPartText.h"
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
// show-in-file-manager actions. The file is read on a worker, bounded by the
// log reader's window, and each line is cut to maxLineBytes, so one huge
// line never stalls the window. The file's lines were redacted when
// written, so they are shown and copied as they are. Main thread only.
class LogViewerModel {
public:
    static constexpr int minimumLines = 50;
    static constexpr int maximumLines = 2000;
    static constexpr int lineStep = 100;
    // UTF-8 bytes a shown line keeps; the rest is left out with its count.
    static constexpr qsizetype maxLineBytes = LogPartText::maxBytes;

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

    // Returns at once; `isLoading` stays true until the newest reload has
    // been shown (an older one ending later is dropped).
    void reload();
    // Puts the shown text, never a placeholder, on the clipboard.
    void copy();
    // Shows the file selected in the file manager, or opens its folder when
    // no file manager takes the request.
    void reveal();

    // 0 for no text, otherwise the stretches of text that line feeds separate, empty ones too.
    static int lineCount(const QString& text);
    // The text with every line cut to maxLineBytes.
    static QString boundedLines(const QString& text);

private:
    std::optional<QString> logFile_;
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<platform::Workspace> workspace_;
    int lines_ = 500;
    quint64 startedReloads_ = 0;
    // Expires with the model, so a read ending afterwards is dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace vellamor
