#pragma once

#include "Models/VellamorServiceError.h"
#include "Models/VellamorTransportError.h"
#include "Networking/AnyEncodable.h"
#include "Networking/APIResponseEnvelope.h"
#include "Networking/EmptyData.h"
#include "Networking/HTTPSession.h"
#include "Networking/JsonCoding.h"

#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <stop_token>
#include <exception>
#include <type_traits>
#include <utility>

namespace vellamor {

// The generic client of the remote-procedure endpoint: one POST of
// {"action", "data"} to base URL + "v1/api.json", returning the reply's
// "data" as R. Payload keys are written in snake_case and reply keys read
// from it (KeyCasing; nested maps are converted too, which no payload of this
// client carries). No retry, no logging, no caching.
//
// Failures, in the order they are checked:
// - the payload cannot be encoded: VellamorTransportError::encodingFailed
//   (nothing is sent; the encoder's error is dropped);
// - the session throws: its error, unchanged (NetworkError, CancellationError);
// - no HTTP response: unexpectedStatus(-1); a status outside 200…299:
//   unexpectedStatus(status), the body unread (a refused redirect lands here);
// - no envelope with integer "code" and string "msg": decodingFailed(description);
// - "code" ≠ 0: VellamorServiceError with code, msg and the "data" string map
//   when it is one and not empty (keys as on the wire), else none;
// - "code" 0 but "data" is not a valid R: decodingFailed(description);
// - "code" 0 without "data" (absent or null): an EmptyData when R is
//   EmptyData, else decodingFailed("empty data for non-empty response type").
//
// Main thread only. A call reads the token once, when it builds its request;
// a later setAuthToken does not change a request already built. Calls may
// outlive the client object.
class APIClient : public QObject {
public:
    APIClient(QUrl baseURL, std::shared_ptr<HTTPSession> session, QObject* parent = nullptr);

    const QUrl& baseURL() const { return baseURL_; }
    const std::shared_ptr<HTTPSession>& session() const { return session_; }

    // Stored as given: an empty token still sends "Bearer " (with nothing
    // after the space); none sends no "Authorization" header.
    void setAuthToken(std::optional<QString> token) { authToken_ = std::move(token); }
    const std::optional<QString>& authToken() const { return authToken_; }

    template<typename R, typename T>
        requires JsonDecodable<R> && JsonEncodable<T>
    QCoro::Task<R> call(QString action, T data, std::stop_token token = {})
    {
        HTTPRequest request = makeRequest(std::move(action), AnyEncodable(std::move(data)));
        const QJsonObject reply = co_await send(session_, std::move(request), std::move(token));
        co_return decodeReply<R>(reply);
    }

private:
    // Throws encodingFailed when the payload cannot be encoded.
    HTTPRequest makeRequest(QString action, AnyEncodable data) const;

    // Sends and classifies: returns the key-converted reply object of a
    // success ("code" 0), or throws as listed above.
    static QCoro::Task<QJsonObject> send(std::shared_ptr<HTTPSession> session, HTTPRequest request,
                                         std::stop_token token);

    template<typename R>
    static R decodeReply(const QJsonObject& body)
    {
        std::optional<R> data;
        try {
            data = APIResponse<R>::fromJson(body, {}).data;
        } catch (const Error& error) {
            throw VellamorTransportError::decodingFailed(error.debugDescription());
        }
        if (data)
            return std::move(*data);
        if constexpr (std::is_same_v<R, EmptyData>)
            return EmptyData();
        else
            throw VellamorTransportError::decodingFailed(QStringLiteral("empty data for non-empty response type"));
    }

    QUrl baseURL_;
    std::shared_ptr<HTTPSession> session_;
    std::optional<QString> authToken_;
};

} // namespace vellamor
