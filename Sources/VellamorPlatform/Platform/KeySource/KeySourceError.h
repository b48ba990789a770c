#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor::platform {

// Why a key source could not start.
class KeySourceError final : public Error {
public:
    enum class Kind {
        displayUnavailable,   // no connection to the display server
        observationUnavailable, // the server cannot report every key (no XInput 2.1)
        keyUnavailable,       // the combination's key is not on this keyboard
        grabRefused,          // another client already holds the combination
    };

    KeySourceError(Kind kind, QString detail) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }

    QString errorDescription() const override;
    // "grabRefused(keycode=45 modifiers=0x5)".
    QString debugDescription() const override;

private:
    Kind kind_;
    QString detail_;
};

} // namespace vellamor::platform
