#pragma once

#include "Account/PreferencesAPIProtocol.h"
#include "Support/Async/Channel.h"

#include <QList>

#include <exception>
#include <optional>

namespace vellamor::test {

// The account's server-side preferences held in `stored`: a read answers
// them, an update applies the fields it sets and answers the result. Both
// throw `failure` when one is set; `updates` records every request.
class FakePreferencesAPI final : public PreferencesAPIProtocol {
public:
    PreferencesView stored;
    std::exception_ptr failure;
    int reads = 0;
    QList<PreferencesUpdateRequest> updates;
    // When set, an update waits, once recorded, for a value pushed here.
    std::optional<Channel<bool>> holdUpdates;
    // When set, a read takes what is stored, then waits for a value pushed here.
    std::optional<Channel<bool>> holdReads;

    QCoro::Task<PreferencesView> getPreferences() override
    {
        ++reads;
        if (failure)
            std::rethrow_exception(failure);
        PreferencesView read(stored);
        if (holdReads) {
            const Channel<bool> gate = *holdReads;
            co_await gate.next();
        }
        co_return read;
    }

    QCoro::Task<PreferencesView> updatePreferences(PreferencesUpdateRequest request) override
    {
        updates.append(request);
        if (holdUpdates) {
            const Channel<bool> gate = *holdUpdates;
            co_await gate.next();
        }
        if (failure)
            std::rethrow_exception(failure);
        stored.defaultScene = request.defaultScene.value_or(stored.defaultScene);
        stored.defaultStyle = request.defaultStyle.value_or(stored.defaultStyle);
        stored.defaultLang = request.defaultLang.value_or(stored.defaultLang);
        stored.sceneOverrides = request.sceneOverrides.value_or(stored.sceneOverrides);
        stored.transformDefaults = request.transformDefaults.value_or(stored.transformDefaults);
        stored.historySync = request.historySync.value_or(stored.historySync);
        co_return PreferencesView(stored);
    }
};

} // namespace vellamor::test
