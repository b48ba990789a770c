#pragma once

#include "Account/PreferencesAPIError.h"
#include "Account/PreferencesAPIProtocol.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/BearerActionCall.h"
#include "Networking/HTTPSession.h"
#include "Networking/UnauthorizedHandler.h"

#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

namespace vellamor {

// The client of "preferences.get" (data {}) and "preferences.update" (data
// the set fields of the request), both answered with the whole record. One
// request per call with a 10 s time-out, keys spelt as on the wire both
// ways; failures as BearerActionCall::send and receive word them. No
// logging, no cache, no retry. Main thread only.
class PreferencesAPI final : public QObject, public PreferencesAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    PreferencesAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                   std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, QObject* parent = nullptr);

    QCoro::Task<PreferencesView> getPreferences() override;
    QCoro::Task<PreferencesView> updatePreferences(PreferencesUpdateRequest request) override;

private:
    static QCoro::Task<PreferencesView> call(BearerActionCall bearer, QString action, AnyEncodable data);

    // Copied into each call, so a call may outlive the client.
    BearerActionCall bearer_;
};

} // namespace vellamor
