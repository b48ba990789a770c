#pragma once

#include "Account/PreferencesUpdateRequest.h"
#include "Account/PreferencesView.h"

#include <QCoro/QCoroTask>

namespace vellamor {

class PreferencesAPIProtocol {
public:
    virtual ~PreferencesAPIProtocol() = default;
    virtual QCoro::Task<PreferencesView> getPreferences() = 0;
    virtual QCoro::Task<PreferencesView> updatePreferences(PreferencesUpdateRequest request) = 0;
};

} // namespace vellamor
