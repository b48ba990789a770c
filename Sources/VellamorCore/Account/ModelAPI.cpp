#include "Account/ModelAPI.h"

#include "Models/VellamorAction.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

#include <utility>

namespace vellamor {

namespace {

struct ListRequest {
    QString kind;

    QJsonValue toJson() const { return JsonWriter().insert(u"kind", kind).object(); }
};

struct ListResponse {
    QList<LLMModelOption> models;

    static ListResponse fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return ListResponse{
            JsonCoding<QList<LLMModelOption>>::decode(reader.value(u"models"), reader.pathFor(u"models"))};
    }
};

} // namespace

ModelAPI::ModelAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, AccessTokenProvider tokenProvider,
                   QObject* parent)
    : QObject(parent)
    , client_(std::make_shared<APIClient>(std::move(baseURL), std::move(session)))
    , tokenProvider_(std::move(tokenProvider))
{
}

QCoro::Task<QList<LLMModelOption>> ModelAPI::listLLMModels()
{
    return list(client_, tokenProvider_);
}

QCoro::Task<QList<LLMModelOption>> ModelAPI::list(std::shared_ptr<APIClient> client, AccessTokenProvider tokenProvider)
{
    std::optional<QString> token;
    if (tokenProvider)
        token = co_await tokenProvider();
    // "Bearer " with nothing after it would be a malformed credential.
    if (token && token->isEmpty())
        token.reset();
    client->setAuthToken(std::move(token));
    const ListResponse response =
        co_await client->call<ListResponse>(VellamorAction::modelList, ListRequest{QStringLiteral("llm")});
    co_return response.models;
}

} // namespace vellamor
