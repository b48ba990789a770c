#include "Networking/ActionRequest.h"

#include "Networking/APIRequestEnvelope.h"
#include "Networking/JsonCoding.h"
#include "Support/UrlPath.h"

namespace vellamor {

HTTPRequest ActionRequest::to(const QUrl& baseURL) const
{
    HTTPRequest request;
    request.url = appendingPath(baseURL, QStringLiteral("v1/api.json"));
    request.method = QStringLiteral("POST");
    request.timeout = timeout;
    request.headers.set(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
    request.headers.set(QStringLiteral("Accept"), QStringLiteral("application/json"));
    if (bearerToken)
        request.headers.set(QStringLiteral("Authorization"), QStringLiteral("Bearer ") + *bearerToken);
    const APIRequestEnvelope<AnyEncodable> envelope{action, data};
    request.body = encodeJsonText(convertingKeys(envelope.toJson(), keys));
    return request;
}

} // namespace vellamor
