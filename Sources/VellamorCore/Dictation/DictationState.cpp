#include "Dictation/DictationState.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

DictationState::DictationState(Kind kind, QString reason)
    : kind_(kind)
    , reason_(std::move(reason))
{
}

DictationState DictationState::failed(QString reason)
{
    return DictationState(Kind::failed, std::move(reason));
}

bool DictationState::isActive() const
{
    switch (kind_) {
    case Kind::recording:
    case Kind::transcribing:
    case Kind::polishing:
    case Kind::inserting:
        return true;
    case Kind::failed:
    case Kind::idle:
    case Kind::done:
    case Kind::cancelled:
        return false;
    }
    return false;
}

bool DictationState::isTerminal() const
{
    return kind_ == Kind::done || kind_ == Kind::cancelled || kind_ == Kind::failed;
}

QString DictationState::debugDescription() const
{
    switch (kind_) {
    case Kind::failed:
        return QStringLiteral("failed(reason: ") + debugQuoted(reason_) + QLatin1Char(')');
    case Kind::idle:
        return QStringLiteral("idle");
    case Kind::recording:
        return QStringLiteral("recording");
    case Kind::transcribing:
        return QStringLiteral("transcribing");
    case Kind::polishing:
        return QStringLiteral("polishing");
    case Kind::inserting:
        return QStringLiteral("inserting");
    case Kind::done:
        return QStringLiteral("done");
    case Kind::cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

} // namespace vellamor
