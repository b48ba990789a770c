#pragma once

#include <QString>

namespace vellamor {

// The phase of a dictation session. Only `failed` carries a payload: the
// user-facing reason chosen by the controller.
class DictationState {
public:
    // Declaration order of the cases.
    enum class Kind { failed, idle, recording, transcribing, polishing, inserting, done, cancelled };

    static DictationState failed(QString reason);
    static DictationState idle() { return DictationState(Kind::idle); }
    static DictationState recording() { return DictationState(Kind::recording); }
    static DictationState transcribing() { return DictationState(Kind::transcribing); }
    static DictationState polishing() { return DictationState(Kind::polishing); }
    static DictationState inserting() { return DictationState(Kind::inserting); }
    static DictationState done() { return DictationState(Kind::done); }
    static DictationState cancelled() { return DictationState(Kind::cancelled); }

    Kind kind() const { return kind_; }
    // The reason of `failed`; empty for every other case.
    const QString& reason() const { return reason_; }

    // recording, transcribing, polishing or inserting.
    bool isActive() const;
    // done, cancelled or failed; idle is neither active nor terminal.
    bool isTerminal() const;

    // `idle`, `failed(reason: "…")`.
    QString debugDescription() const;

    friend bool operator==(const DictationState&, const DictationState&) = default;

private:
    explicit DictationState(Kind kind, QString reason = {});

    Kind kind_;
    QString reason_;
};

} // namespace vellamor
