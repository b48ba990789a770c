#pragma once

#include "Support/Error.h"

namespace vellamor {

// Why the clipboard layer did not paste a text.
class ClipboardInserterError final : public Error {
public:
    enum class Kind { pasteboardWriteFailed, eventSourceFailed, eventBuildFailed, notFetched, snapshotFailed };

    static ClipboardInserterError pasteboardWriteFailed() { return ClipboardInserterError(Kind::pasteboardWriteFailed); }
    static ClipboardInserterError eventSourceFailed() { return ClipboardInserterError(Kind::eventSourceFailed); }
    static ClipboardInserterError eventBuildFailed() { return ClipboardInserterError(Kind::eventBuildFailed); }
    static ClipboardInserterError notFetched() { return ClipboardInserterError(Kind::notFetched); }
    // The clipboard's owner did not give its contents in time.
    static ClipboardInserterError snapshotFailed() { return ClipboardInserterError(Kind::snapshotFailed); }

    Kind kind() const { return kind_; }

    // "未能完成操作。（ClipboardInserterError 错误 N。）", N the kind's number.
    QString errorDescription() const override;
    // "pasteboardWriteFailed", "eventSourceFailed", "eventBuildFailed",
    // "notFetched", "snapshotFailed".
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
