#pragma once

#include "Support/Error.h"

namespace vellamor {

// Why the accessibility layer did not insert a text. No user-facing text of
// its own: the layered inserter decides what happens next.
class AccessibilityInserterError final : public Error {
public:
    enum class Kind {
        failed,
        notTrusted,
        noFocus,
        notSupported,
        notWritten,
        selfReflective,
        changedUnexpectedly,
        unanswered,
        unshown,
    };

    // A bus call that should have changed the text reported this code; as
    // with notWritten, none of the text arrived.
    static AccessibilityInserterError failed(int code) { return AccessibilityInserterError(Kind::failed, code); }
    static AccessibilityInserterError notTrusted() { return AccessibilityInserterError(Kind::notTrusted); }
    static AccessibilityInserterError noFocus() { return AccessibilityInserterError(Kind::noFocus); }
    static AccessibilityInserterError notSupported() { return AccessibilityInserterError(Kind::notSupported); }
    // None of the text arrived (the field is as before, at most without its
    // selection): typing the text cannot show it twice.
    static AccessibilityInserterError notWritten() { return AccessibilityInserterError(Kind::notWritten); }
    // The field changed, but not into what was asked, and could not be put
    // back: typing the text now might show it twice.
    static AccessibilityInserterError changedUnexpectedly()
    {
        return AccessibilityInserterError(Kind::changedUnexpectedly);
    }
    // A write got no answer in time and the text was not (yet) seen in the
    // field: the target may still be taking it.
    static AccessibilityInserterError unanswered() { return AccessibilityInserterError(Kind::unanswered); }
    // The target accepted a write and did not show the text in time: it may
    // show it later, or never (as Firefox does).
    static AccessibilityInserterError unshown() { return AccessibilityInserterError(Kind::unshown); }
    // The focused element belongs to this application.
    static AccessibilityInserterError selfReflective() { return AccessibilityInserterError(Kind::selfReflective); }

    Kind kind() const { return kind_; }
    // The failure code of `failed`; 0 for the other kinds.
    int code() const { return code_; }

    // "未能完成操作。（AccessibilityInserterError 错误 N。）", N the kind's number.
    QString errorDescription() const override;
    // "failed(-1)", "notTrusted", ...
    QString debugDescription() const override;

    friend bool operator==(const AccessibilityInserterError& a, const AccessibilityInserterError& b)
    {
        return a.kind_ == b.kind_ && a.code_ == b.code_;
    }

private:
    explicit AccessibilityInserterError(Kind kind, int code = 0) : kind_(kind), code_(code) {}

    Kind kind_;
    int code_;
};

} // namespace vellamor
