#pragma once

#include "Account/ModelAPIProtocol.h"
#include "Networking/APIClient.h"
#include "Networking/AccessTokenProvider.h"
#include "Networking/HTTPSession.h"

#include <QObject>
#include <QUrl>

#include <memory>

namespace vellamor {

// The client of "model.list" (data {"kind": "llm"}), through its own
// APIClient: the models in server order, one request per call, no cache.
// The client's token is set to the provider's answer before each call; no
// token, or an empty one, sends no "Authorization" header. Every failure is
// APIClient's (VellamorTransportError, VellamorServiceError, the session's
// own errors), unchanged: refusals with 40100…40103 included, nothing is
// reported to the authentication session. One entry that does not decode
// fails the whole list. Main thread only.
class ModelAPI final : public QObject, public ModelAPIProtocol {
public:
    ModelAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
             QObject* parent = nullptr);

    QCoro::Task<QList<LLMModelOption>> listLLMModels() override;

private:
    static QCoro::Task<QList<LLMModelOption>> list(std::shared_ptr<APIClient> client,
                                                   AccessTokenProvider tokenProvider);

    // Shared with running calls, so a call may outlive this object.
    std::shared_ptr<APIClient> client_;
    AccessTokenProvider tokenProvider_;
};

} // namespace vellamor
