#include "Networking/RemoteLogReader.h"

#include "Logging/LogReader.h"
#include "Models/VellamorAction.h"
#include "Networking/RemoteLogReaderError.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonWriter.h"

#include <chrono>

namespace vellamor {

QCoro::Task<RemoteLogReader::TailResult> RemoteLogReader::read(QUrl api, std::optional<QString> token, int lines,
                                                               std::shared_ptr<HTTPSession> session,
                                                               std::stop_token stop)
{
    if (!token || token->isEmpty())
        throw RemoteLogReaderError::missingToken();

    HTTPRequest request;
    request.url = std::move(api);
    request.method = QStringLiteral("POST");
    request.timeout = std::chrono::seconds(60);
    request.headers.set(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
    request.headers.set(QStringLiteral("X-Admin-Token"), *token);
    JsonWriter data;
    data.insert(u"lines", LogReader::clampedLineCount(lines));
    JsonWriter envelope;
    envelope.insert(u"action", VellamorAction::adminTailLog).insert(u"data", data);
    request.body = envelope.toJson();

    const HTTPResult result = co_await session->data(std::move(request), std::move(stop));

    if (!result.response.isHTTP())
        throw RemoteLogReaderError::invalidResponse();
    const int status = *result.response.statusCode;
    if (status == 401)
        throw RemoteLogReaderError::unauthorized();
    if (status >= 400)
        throw RemoteLogReaderError::httpStatus(status);

    const JsonReader reply = JsonReader::parse(result.data);
    const qint64 code = reply.requireInt64(u"code");
    const QString msg = reply.requireString(u"msg");
    const std::optional<JsonReader> payload = reply.optionalObject(u"data");
    // The whole reply is decoded before the code is judged, so a refusal
    // with a malformed "data" is a decoding error.
    std::optional<TailResult> tail;
    if (payload) {
        TailResult decoded;
        decoded.path = payload->optionalString(u"path").value_or(QString());
        decoded.exists = payload->requireBool(u"exists");
        decoded.totalBytes = payload->optionalInt64(u"total_bytes").value_or(0);
        if (const auto lineArray = payload->optionalArray(u"lines"))
            decoded.lines = lineArray->strings();
        decoded.reason = payload->optionalString(u"reason");
        tail = std::move(decoded);
    }
    if (code != 0)
        throw RemoteLogReaderError::businessError(code, msg);
    co_return tail.value_or(TailResult());
}

} // namespace vellamor
