#pragma once

#include "Support/Error.h"

namespace vellamor {

// Why the keystroke layer did not type a whole text. Carries how many
// characters it had already typed: those stay in the target.
class KeystrokeInserterError final : public Error {
public:
    enum class Kind { sourceUnavailable, buildFailed };

    static KeystrokeInserterError sourceUnavailable() { return KeystrokeInserterError(Kind::sourceUnavailable, 0); }
    static KeystrokeInserterError buildFailed(int charactersPosted)
    {
        return KeystrokeInserterError(Kind::buildFailed, charactersPosted);
    }

    Kind kind() const { return kind_; }
    int charactersPosted() const { return charactersPosted_; }

    // "未能完成操作。（KeystrokeInserterError 错误 N。）", N the kind's number.
    QString errorDescription() const override;
    // "sourceUnavailable", "buildFailed(posted=3)".
    QString debugDescription() const override;

    friend bool operator==(const KeystrokeInserterError& a, const KeystrokeInserterError& b)
    {
        return a.kind_ == b.kind_ && a.charactersPosted_ == b.charactersPosted_;
    }

private:
    KeystrokeInserterError(Kind kind, int charactersPosted) : kind_(kind), charactersPosted_(charactersPosted) {}

    Kind kind_;
    int charactersPosted_;
};

} // namespace vellamor
