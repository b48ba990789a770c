#pragma once

#include "Support/Error.h"

namespace vellamor {

// Why the clipboard layer did not paste a text.
class ClipboardInserterError final : public Error {
public:
    enum class Kind { pasteboardWriteFailed, eventSourceFailed, eventBuildFailed, notFetched, unconfirmed, displaced };

    static ClipboardInserterError pasteboardWriteFailed() { return ClipboardInserterError(Kind::pasteboardWriteFailed); }
    static ClipboardInserterError eventSourceFailed() { return ClipboardInserterError(Kind::eventSourceFailed); }
    static ClipboardInserterError eventBuildFailed() { return ClipboardInserterError(Kind::eventBuildFailed); }
    static ClipboardInserterError notFetched() { return ClipboardInserterError(Kind::notFetched); }
    // Whether the target took the text only its field can tell.
    static ClipboardInserterError unconfirmed() { return ClipboardInserterError(Kind::unconfirmed); }
    // Another program's copy took the clipboard before the target asked.
    static ClipboardInserterError displaced() { return ClipboardInserterError(Kind::displaced); }

    Kind kind() const { return kind_; }

    // "未能完成操作。（ClipboardInserterError 错误 N。）", N the kind's number.
    QString errorDescription() const override;
    // "pasteboardWriteFailed", "eventSourceFailed", "eventBuildFailed",
    // "notFetched", "unconfirmed", "displaced".
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
