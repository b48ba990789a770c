#pragma once

#include "Support/Error.h"

namespace vellamor {

// The hotkey could not be installed: on X11 another client already holds the
// custom combination, or the display offers no global key observation.
class HotkeyError final : public Error {
public:
    enum class Kind { tapCreationFailed };

    static HotkeyError tapCreationFailed() { return HotkeyError(Kind::tapCreationFailed); }

    Kind kind() const { return kind_; }

    // The error has no text of its own; this is the generic wording the
    // platform shows for such an error: "未能完成操作。（HotkeyError 错误 0。）".
    QString errorDescription() const override;
    // "tapCreationFailed".
    QString debugDescription() const override;

    friend bool operator==(const HotkeyError& a, const HotkeyError& b) { return a.kind_ == b.kind_; }

private:
    explicit HotkeyError(Kind kind) : kind_(kind) {}

    Kind kind_;
};

} // namespace vellamor
