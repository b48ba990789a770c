#include "InputSources/InputSourceAPI.h"

#include "Networking/APIResponseEnvelope.h"
#include "Networking/ActionRequest.h"
#include "Networking/AnyEncodable.h"
#include "Networking/AuthUnauthorizedReason.h"
#include "Networking/EmptyData.h"
#include "Networking/FlexibleDate.h"
#include "Settings/AppConfig.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

#include <utility>

namespace vellamor {

namespace {

const QString createPairingAction = QStringLiteral("inputSource.createPairing");
const QString listAction = QStringLiteral("inputSource.list");
const QString revokeAction = QStringLiteral("inputSource.revoke");
const QString confirmPairingAction = QStringLiteral("inputSource.confirmPairing");
const QString statusAction = QStringLiteral("inputSource.status");

struct CreatePairingResp {
    QString code;
    Date expiresAt;

    static CreatePairingResp fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return CreatePairingResp{reader.requireString(u"code"),
                                 decodeFlexibleDate(reader.value(u"expires_at"), reader.pathFor(u"expires_at"))};
    }
};

struct ListResp {
    QList<InputSource> items;

    static ListResp fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        if (!reader.hasValue(u"items"))
            return {};
        return ListResp{JsonCoding<QList<InputSource>>::decode(reader.value(u"items"), reader.pathFor(u"items"))};
    }
};

struct StatusResp {
    QString status;

    static StatusResp fromJson(const QJsonValue& value, const QString& path)
    {
        return StatusResp{JsonReader(json::readObject(value, path), path).requireString(u"status")};
    }
};

} // namespace

// What one request needs, copied so that it may outlive the client; also
// the words BearerActionCall::exchange throws its failures in.
struct InputSourceAPI::Call {
    BearerActionCall bearer;
    VellamorLog log;
    QString action;
    QJsonObject payload;
    bool anonymous = false;

    InputSourceAPIError missingToken() const { return InputSourceAPIError::missingToken(); }
    InputSourceAPIError encodingFailed() const { return InputSourceAPIError::encodingFailed(); }
    InputSourceAPIError invalidResponse() const
    {
        const QString detail = QStringLiteral("invalid response");
        return failure(detail, InputSourceAPIError::transport(detail));
    }
    InputSourceAPIError unauthorizedStatus() const
    {
        return failure(QStringLiteral("HTTP 401"), InputSourceAPIError::unauthorized());
    }
    InputSourceAPIError errorStatus(int status) const
    {
        const QString detail = QStringLiteral("HTTP ") + QString::number(status);
        return failure(detail, InputSourceAPIError::transport(detail));
    }

    // Logs "<action> failed: <what>" and gives `error` back.
    InputSourceAPIError failure(const QString& what, InputSourceAPIError error) const
    {
        log.warn(action + QStringLiteral(" failed: ") + what);
        return error;
    }
};

InputSourceAPI::InputSourceAPI(QUrl baseURL, QUrl pairingBaseURL, std::shared_ptr<HTTPSession> session,
                               AccessTokenProvider tokenProvider,
                               std::shared_ptr<UnauthorizedHandler> unauthorizedHandler, VellamorLog log)
    : bearer_{.baseURL = std::move(baseURL),
              .session = std::move(session),
              .tokenProvider = std::move(tokenProvider),
              .unauthorizedHandler = std::move(unauthorizedHandler),
              .timeout = requestTimeout,
              .keys = KeyCasing::unchanged,
              .acceptsJson = false}
    , pairingBaseURL_(std::move(pairingBaseURL))
    , log_(std::move(log))
{
}

VellamorLog InputSourceAPI::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("input-source-api"));
}

QString InputSourceAPI::buildQRURL(const QString& code, const QUrl& baseURL)
{
    // Once a URL parsed, setting an absolute path and a query of unreserved
    // characters and escapes always leaves it valid: no fallback text is needed.
    QUrl url = baseURL.isValid() ? baseURL : QUrl(AppConfig::defaultAPIBaseURLText());
    url.setPath(QStringLiteral("/pair"));
    url.setQuery(QStringLiteral("code=") + QString::fromLatin1(QUrl::toPercentEncoding(code)));
    return url.toString(QUrl::FullyEncoded);
}

InputSourceAPI::Call InputSourceAPI::makeCall(QString action, QJsonObject payload, bool anonymous) const
{
    return Call{bearer_, log_, std::move(action), std::move(payload), anonymous};
}

QCoro::Task<PairingInfo> InputSourceAPI::createPairing()
{
    const QUrl pairingBase = pairingBaseURL_;
    Call call = makeCall(createPairingAction, {}, false);
    BearerReply reply = co_await send(call);
    const std::optional<QString> sentAt = reply.headers.value(QStringLiteral("Date"));
    const std::optional<Date> issuedAt = sentAt ? Date::fromHttpDate(*sentAt) : std::nullopt;
    const CreatePairingResp resp = co_await requireData<CreatePairingResp>(std::move(call), std::move(reply));
    co_return PairingInfo{resp.code, resp.expiresAt, buildQRURL(resp.code, pairingBase), issuedAt};
}

QCoro::Task<QList<InputSource>> InputSourceAPI::list()
{
    Call call = makeCall(listAction, {}, false);
    co_return (co_await requireData<ListResp>(call, co_await send(call))).items;
}

QCoro::Task<void> InputSourceAPI::revoke(qint64 id)
{
    Call call = makeCall(revokeAction, JsonWriter().insert(u"source_id", id).object(), false);
    co_await interpret<EmptyData>(call, co_await send(call));
}

QCoro::Task<void> InputSourceAPI::confirmPairing(qint64 sourceID, bool accept)
{
    Call call = makeCall(confirmPairingAction,
                         JsonWriter().insert(u"source_id", sourceID).insert(u"accept", accept).object(), false);
    co_await interpret<EmptyData>(call, co_await send(call));
}

QCoro::Task<QString> InputSourceAPI::status(QString sourceToken)
{
    Call call = makeCall(statusAction, JsonWriter().insert(u"source_token", sourceToken).object(), true);
    co_return (co_await requireData<StatusResp>(call, co_await send(call))).status;
}

QCoro::Task<BearerReply> InputSourceAPI::send(Call call)
{
    call.log.info(QStringLiteral("calling ") + call.action
                  + (call.anonymous ? QStringLiteral(" (anonymous)") : QString()));
    if (!call.anonymous) {
        co_return co_await BearerActionCall::exchange(call.bearer, call.action, AnyEncodable(call.payload), {}, call);
    }

    // No token asked for or sent, and a 401 is a refusal like any other.
    HTTPRequest request;
    try {
        request = ActionRequest{call.action, AnyEncodable(call.payload), call.bearer.keys, std::nullopt,
                                call.bearer.timeout}
                      .to(call.bearer.baseURL);
    } catch (const std::exception&) {
        throw call.encodingFailed();
    }
    request.headers.remove(QStringLiteral("Accept"));
    HTTPResult result = co_await call.bearer.session->data(std::move(request));
    if (!result.response.isHTTP())
        throw call.invalidResponse();
    if (*result.response.statusCode >= 400)
        throw call.errorStatus(*result.response.statusCode);
    co_return BearerReply{std::move(result.data), QString(), nullptr, std::move(result.response.headers)};
}

template<typename T>
QCoro::Task<std::optional<T>> InputSourceAPI::interpret(Call call, BearerReply reply)
{
    APIResponseEnvelope<T> envelope;
    try {
        envelope = APIResponseEnvelope<T>::decode(reply.body);
    } catch (const Error& error) {
        throw call.failure(QStringLiteral("decoding error ") + error.errorDescription(),
                           InputSourceAPIError::decodingFailed(error.errorDescription()));
    }

    if (!call.anonymous && BearerActionCall::endsSession(envelope.code)) {
        const auto refusal =
            call.failure(QStringLiteral("auth failure code ") + QString::number(envelope.code),
                         InputSourceAPIError::unauthorized());
        co_await BearerActionCall::report(reply, AuthUnauthorizedReason::from(envelope.code));
        throw refusal;
    }
    if (envelope.code != 0) {
        throw call.failure(QStringLiteral("business error ") + QString::number(envelope.code) + QStringLiteral(": ")
                               + envelope.msg,
                           InputSourceAPIError::business(envelope.code, envelope.msg));
    }
    co_return std::move(envelope.data);
}

template<typename T>
QCoro::Task<T> InputSourceAPI::requireData(Call call, BearerReply reply)
{
    std::optional<T> data = co_await interpret<T>(call, std::move(reply));
    if (!data) {
        const QString detail = QStringLiteral("empty data");
        throw call.failure(detail, InputSourceAPIError::decodingFailed(detail));
    }
    co_return std::move(*data);
}

} // namespace vellamor
