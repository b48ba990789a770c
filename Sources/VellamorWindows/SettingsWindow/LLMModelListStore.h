#pragma once

#include "Account/LLMModelOption.h"
#include "Account/ModelAPIProtocol.h"
#include "Support/Async/Published.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace vellamor {

// The backend's polishing models a user may choose from, as last fetched.
class LLMModelListStore {
public:
    explicit LLMModelListStore(std::shared_ptr<ModelAPIProtocol> api);

    Published<bool> loading{false};
    Published<QList<LLMModelOption>> models;
    Published<std::optional<QString>> errorText;

    // Fetches the list; a failure empties it and says why. Of overlapping
    // fetches, the one that ends last stays. True when the fetch succeeded.
    static QCoro::Task<bool> reload(std::shared_ptr<LLMModelListStore> store);
    void reset();

    // Why there is no list for a signed-out user.
    static QString signInMessage();

private:
    std::shared_ptr<ModelAPIProtocol> api_;
};

} // namespace vellamor
