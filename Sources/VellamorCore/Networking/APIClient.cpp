#include "Networking/APIClient.h"

#include "Networking/ActionRequest.h"
#include "Networking/CodeOnlyEnvelope.h"
#include "Networking/KeyCasing.h"
#include "Support/Json/JsonReader.h"

#include <chrono>

namespace vellamor {

APIClient::APIClient(QUrl baseURL, std::shared_ptr<HTTPSession> session, QObject* parent)
    : QObject(parent), baseURL_(std::move(baseURL)), session_(std::move(session))
{
}

HTTPRequest APIClient::makeRequest(QString action, AnyEncodable data) const
{
    const ActionRequest call{std::move(action), std::move(data), KeyCasing::toSnakeCase, authToken_,
                             std::chrono::seconds(60)};
    try {
        return call.to(baseURL_);
    } catch (const std::exception&) {
        throw VellamorTransportError::encodingFailed();
    }
}

QCoro::Task<QJsonObject> APIClient::send(std::shared_ptr<HTTPSession> session, HTTPRequest request,
                                         std::stop_token token)
{
    const HTTPResult result = co_await session->data(std::move(request), std::move(token));

    if (!result.response.isHTTP())
        throw VellamorTransportError::unexpectedStatus(-1);
    const int status = *result.response.statusCode;
    if (status < 200 || status > 299)
        throw VellamorTransportError::unexpectedStatus(status);

    QJsonObject wire;
    QJsonObject converted;
    CodeOnlyEnvelope head;
    try {
        wire = JsonReader::parse(result.data).object();
        converted = convertingKeys(wire, KeyCasing::fromSnakeCase).toObject();
        head = CodeOnlyEnvelope::fromJson(converted, {});
    } catch (const Error& error) {
        throw VellamorTransportError::decodingFailed(error.debugDescription());
    }

    if (head.code != 0) {
        // Key conversion is for record fields: a detail map keeps its keys
        // exactly as the server sent them.
        std::optional<QMap<QString, QString>> details;
        try {
            auto refusal = APIResponse<QMap<QString, QString>>::fromJson(wire, {});
            if (refusal.data && !refusal.data->isEmpty())
                details = std::move(refusal.data);
        } catch (const Error&) {
        }
        throw VellamorServiceError(head.code, head.msg, std::move(details));
    }
    co_return converted;
}

} // namespace vellamor
