#pragma once

#include "Support/Error.h"

namespace vellamor {

// Why the clipboard layer did not paste a text. The previous clipboard has
// been put back whenever one of these is thrown, unless a newer copy had
// replaced the text.
class ClipboardInserterError final : public Error {
public:
    enum class Kind { pasteboardWriteFailed, eventSourceFailed, eventBuildFailed, notFetched, askedAfterRestore };

    static ClipboardInserterError pasteboardWriteFailed() { return ClipboardInserterError(Kind::pasteboardWriteFailed); }
    static ClipboardInserterError eventSourceFailed() { return ClipboardInserterError(Kind::eventSourceFailed); }
    static ClipboardInserterError eventBuildFailed() { return ClipboardInserterError(Kind::eventBuildFailed); }
    static ClipboardInserterError notFetched() { return ClipboardInserterError(Kind::notFetched); }
    // The target asked for the contents put back after the paste: it pasted those.
    static ClipboardInserterError askedAfterRestore() { return ClipboardInserterError(Kind::askedAfterRestore); }

    Kind kind() const { return kind_; }

    // "未能完成操作。（ClipboardInserterError 错误 N。）", N the kind's number.
    QString errorDescription() const override;
    // "pasteboardWriteFailed", "eventSourceFailed", "eventBuildFailed",
    // "notFetched", "askedAfterRestore".
    QString debugDescription() const override;

    friend bool operator==(const ClipboardInserterError& a, const ClipboardInserterError& b)
    {
        return a.kind_ == b.kind_;
    }

private:
    explicit ClipboardInserterError(Kind kind) : kind_(kind) {}

    Kind kind_;
};

} // namespace vellamor
