#include "Networking/AuthedSession.h"

#include "Models/NetworkError.h"
#include "Support/Async/Resumption.h"
#include "Support/Error.h"

#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace vellamor {

struct AuthedSession::Impl {
    Impl(Limits limits, AuthedURLSessionDelegate delegate) : limits(limits), delegate(std::move(delegate)) {}

    Limits limits;
    AuthedURLSessionDelegate delegate;
    QNetworkAccessManager manager;
};

namespace {

using Reason = detail::Resumption::Reason;

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

NetworkError networkError(QNetworkReply::NetworkError code, const QString& detail)
{
    using E = QNetworkReply::NetworkError;
    switch (code) {
    case E::TimeoutError:
        return NetworkError(NetworkError::Kind::timedOut, detail);
    case E::ConnectionRefusedError:
    case E::ProxyConnectionRefusedError:
    case E::ProxyNotFoundError:
        return NetworkError(NetworkError::Kind::cannotConnect, detail);
    case E::HostNotFoundError:
        return NetworkError(NetworkError::Kind::hostNotFound, detail);
    case E::RemoteHostClosedError:
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
    case E::ProxyConnectionClosedError:
        return NetworkError(NetworkError::Kind::connectionLost, detail);
    case E::SslHandshakeFailedError:
        return NetworkError(NetworkError::Kind::secureConnectionFailed, detail);
    case E::TooManyRedirectsError:
        return NetworkError(NetworkError::Kind::tooManyRedirects, detail);
    case E::ProtocolUnknownError:
        return NetworkError(NetworkError::Kind::badURL, detail);
    default:
        return NetworkError(NetworkError::Kind::other, detail);
    }
}

// Failures below the HTTP layer: whatever status may have arrived, the
// answer is incomplete.
bool isTransportFailure(QNetworkReply::NetworkError code)
{
    const int value = static_cast<int>(code);
    return value >= 1 && value < 200;
}

// The answer of a finished reply; throws NetworkError when it is incomplete.
HTTPResult resultOf(QNetworkReply& reply)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (isTransportFailure(error))
        throw networkError(error, reply.errorString());

    HTTPResult result;
    result.response.url = reply.url();
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        result.response.statusCode = status.toInt();
    } else if (error != QNetworkReply::NoError) {
        throw networkError(error, reply.errorString());
    }
    for (const auto& [name, value] : reply.rawHeaderPairs())
        result.response.headers.set(QString::fromLatin1(name), QString::fromLatin1(value));
    result.data = reply.readAll();
    return result;
}

QNetworkRequest makeNetworkRequest(const HTTPRequest& request)
{
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : request.headers.fields())
        networkRequest.setRawHeader(name.toLatin1(), value.toUtf8());
    return networkRequest;
}

HTTPRequest redirectedRequest(const HTTPRequest& current, int status, const QUrl& target)
{
    HTTPRequest next = current;
    next.url = target;
    const bool becomesGet = (status == 303 && current.method.compare(u"HEAD", Qt::CaseInsensitive) != 0)
        || ((status == 301 || status == 302) && current.method.compare(u"POST", Qt::CaseInsensitive) == 0);
    if (becomesGet) {
        next.method = QStringLiteral("GET");
        next.body.clear();
    }
    return next;
}

} // namespace

// Throws NetworkError, or CancellationError after aborting the reply.
QCoro::Task<HTTPResult> AuthedSession::runHop(std::shared_ptr<Impl> impl, HTTPRequest request, std::stop_token token,
                                              QDeadlineTimer wholeDeadline)
{
    if (!request.url.isValid() || request.url.isEmpty())
        throw NetworkError(NetworkError::Kind::badURL, request.url.errorString());
    if (token.stop_requested())
        throw CancellationError();
    if (wholeDeadline.hasExpired())
        throw NetworkError(NetworkError::Kind::timedOut);

    QNetworkReply* reply =
        impl->manager.sendCustomRequest(makeNetworkRequest(request), request.method.toLatin1(), request.body);
    QPointer<QNetworkReply> guard(reply);

    // Precise: coarse timers may fire up to 5 % early.
    QTimer idleTimer;
    idleTimer.setTimerType(Qt::PreciseTimer);
    idleTimer.setSingleShot(true);
    idleTimer.setInterval(request.timeout.value_or(impl->limits.idle));
    QTimer wholeTimer;
    wholeTimer.setTimerType(Qt::PreciseTimer);
    wholeTimer.setSingleShot(true);
    wholeTimer.setInterval(std::chrono::milliseconds(std::max<qint64>(0, wholeDeadline.remainingTime())));

    bool timedOut = false;
    const auto reason = co_await detail::Resumption::make()->suspend(token, [&](auto waker) {
        // A limit counts only when it beats the reply's own end.
        auto expire = [&timedOut, guard, waker] {
            if (!waker->fire(Reason::Signalled))
                return;
            timedOut = true;
            if (guard)
                guard->abort();
        };
        QObject::connect(&idleTimer, &QTimer::timeout, &idleTimer, expire);
        QObject::connect(&wholeTimer, &QTimer::timeout, &wholeTimer, expire);
        auto activity = [&idleTimer] { idleTimer.start(); };
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &idleTimer, activity);
        QObject::connect(reply, &QNetworkReply::readyRead, &idleTimer, activity);
        QObject::connect(reply, &QNetworkReply::uploadProgress, &idleTimer, activity);
        QObject::connect(reply, &QNetworkReply::downloadProgress, &idleTimer, activity);
        QObject::connect(reply, &QNetworkReply::finished, reply, [waker] { waker->fire(Reason::Signalled); });
        if (reply->isFinished())
            waker->fire(Reason::Signalled);
        idleTimer.start();
        wholeTimer.start();
    });
    idleTimer.stop();
    wholeTimer.stop();

    if (!guard)
        throw NetworkError(NetworkError::Kind::other, QStringLiteral("reply destroyed"));
    reply->disconnect();
    reply->deleteLater();

    if (reason == Reason::Cancelled) {
        reply->abort();
        throw CancellationError();
    }
    if (timedOut)
        throw NetworkError(NetworkError::Kind::timedOut);
    if (!reply->isFinished()) {
        reply->abort();
        throw NetworkError(NetworkError::Kind::other, QStringLiteral("reply ended early"));
    }

    co_return resultOf(*reply);
}

AuthedSession::AuthedSession() : AuthedSession(Limits()) {}

AuthedSession::AuthedSession(Limits limits, AuthedURLSessionDelegate delegate)
    : impl_(std::make_shared<Impl>(limits, std::move(delegate)))
{
}

AuthedSession::~AuthedSession() = default;

std::shared_ptr<AuthedSession> AuthedSession::shared()
{
    // Deliberately never deleted: QNetworkAccessManager must not be destroyed
    // after the application object is gone.
    static const std::shared_ptr<AuthedSession> instance(new AuthedSession(), [](AuthedSession*) {});
    return instance;
}

const AuthedSession::Limits& AuthedSession::limits() const
{
    return impl_->limits;
}

QString AuthedSession::hostSpelling(const QString& location, const QString& currentHost)
{
    static const QRegularExpression schemePrefix(QStringLiteral("\\A[A-Za-z][A-Za-z0-9+.-]*:"));
    const QString text = location.trimmed();
    const auto scheme = schemePrefix.match(text);
    const QString rest = scheme.hasMatch() ? text.mid(scheme.capturedLength()) : text;
    if (!rest.startsWith(u"//"))
        return scheme.hasMatch() ? QString() : currentHost;

    QString authority = rest.mid(2);
    const qsizetype end = authority.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    if (end >= 0)
        authority.truncate(end);
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0)
        authority = authority.mid(at + 1);
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        return close < 0 ? authority.mid(1) : authority.mid(1, close - 1);
    }
    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    return colon >= 0 ? authority.left(colon) : authority;
}

QCoro::Task<HTTPResult> AuthedSession::data(HTTPRequest request, std::stop_token token)
{
    // Everything after the first suspension goes through `impl`, which the
    // call keeps alive even if the session object is dropped meanwhile.
    auto impl = impl_;
    const QDeadlineTimer wholeDeadline(impl->limits.whole);
    const QUrl originalURL = request.url;
    HTTPRequest current = std::move(request);
    QString currentHost = current.url.host();

    for (int hops = 0;; ++hops) {
        HTTPResult result = co_await runHop(impl, current, token, wholeDeadline);
        const std::optional<int> status = result.response.statusCode;
        const std::optional<QString> location = result.response.headers.value(QStringLiteral("Location"));
        if (!status || !isRedirectStatus(*status) || !location)
            co_return result;

        const QUrl target = result.response.url.resolved(QUrl(*location, QUrl::TolerantMode));
        if (!target.isValid())
            co_return result;
        if (hops >= impl->limits.maxRedirects)
            throw NetworkError(NetworkError::Kind::tooManyRedirects);

        const QString targetHost = hostSpelling(*location, currentHost);
        auto follow = impl->delegate.willPerformHTTPRedirection(
            result.response, originalURL, redirectedRequest(current, *status, target), currentHost, targetHost);
        if (!follow)
            co_return result;
        current = std::move(*follow);
        currentHost = targetHost;
    }
}

} // namespace vellamor
