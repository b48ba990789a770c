#pragma once

#include "InputSources/InputSourceAPIProtocol.h"
#include "Support/Async/Published.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>

namespace vellamor {

// The account's bound input sources, as the input-source card lists them,
// and their revocation. Main thread only.
class InputSourceCardViewModel : public QObject {
    Q_OBJECT

public:
    explicit InputSourceCardViewModel(std::shared_ptr<InputSourceAPIProtocol> api, QObject* parent = nullptr);

    // In the service's order, without revoked sources.
    Published<QList<InputSource>> items;
    Published<bool> loading{false};
    // The source whose revocation started last, until one finishes.
    Published<std::optional<qint64>> revokingID;
    Published<std::optional<QString>> errorText;
    // Raised by one after each successful reload.
    Published<int> reloadTick{0};

    // Signed out: empties the list and the error at once, asking nothing.
    // Signed in: lists the sources; a failure keeps the list and sets the
    // error. Overlapping reloads each write their answer when it comes.
    void reload(bool authenticated);
    // Removes the source from the list once the service has revoked it; a
    // failure keeps it and sets the error. Nothing is reloaded.
    void revoke(const InputSource& source);

private:
    std::shared_ptr<InputSourceAPIProtocol> api_;
};

} // namespace vellamor
