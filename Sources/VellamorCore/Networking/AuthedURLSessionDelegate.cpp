#include "Networking/AuthedURLSessionDelegate.h"

#include <QCryptographicHash>

#include <utility>

namespace vellamor {

AuthedURLSessionDelegate::AuthedURLSessionDelegate()
    : log_(QStringLiteral("com.vellamor.app"), QStringLiteral("authed-redirect"))
{
}

AuthedURLSessionDelegate::AuthedURLSessionDelegate(VellamorLog log) : log_(std::move(log)) {}

std::optional<QString> AuthedURLSessionDelegate::originKey(const QUrl& url)
{
    if (url.isEmpty() || !url.isValid())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    const QString host = url.host().toLower();
    if (scheme.isEmpty() || host.isEmpty())
        return std::nullopt;

    int port = url.port();
    if (port < 0) {
        if (scheme == u"https")
            port = 443;
        else if (scheme == u"http")
            port = 80;
        else
            return std::nullopt;
    }
    return scheme + QStringLiteral("://") + host + QLatin1Char(':') + QString::number(port);
}

bool AuthedURLSessionDelegate::isSameOrigin(const QUrl& from, const QUrl& to)
{
    const auto fromKey = originKey(from);
    const auto toKey = originKey(to);
    return fromKey && toKey && *fromKey == *toKey;
}

QString AuthedURLSessionDelegate::hostTag(const QString& host)
{
    if (host.isEmpty())
        return QStringLiteral("host_empty");
    const QByteArray digest = QCryptographicHash::hash(host.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("host_") + QString::fromLatin1(digest.toHex().left(6));
}

HTTPHeaders AuthedURLSessionDelegate::strippingCredentials(const HTTPHeaders& headers)
{
    HTTPHeaders kept;
    for (const auto& [name, value] : headers.fields()) {
        const QString lower = name.toLower();
        if (lower == u"authorization" || lower == u"cookie" || lower.startsWith(u"x-vellamor-"))
            continue;
        kept.set(name, value);
    }
    return kept;
}

QUrl AuthedURLSessionDelegate::fromURL(const HTTPResponse& response, const QUrl& originalURL)
{
    return response.url.isEmpty() ? originalURL : response.url;
}

std::optional<HTTPRequest> AuthedURLSessionDelegate::evaluate(const HTTPResponse& response, const QUrl& originURL,
                                                              const HTTPRequest& newRequest)
{
    if (!isSameOrigin(fromURL(response, originURL), newRequest.url))
        return std::nullopt;
    HTTPRequest follow = newRequest;
    follow.headers = strippingCredentials(newRequest.headers);
    return follow;
}

std::optional<HTTPRequest> AuthedURLSessionDelegate::willPerformHTTPRedirection(
    const HTTPResponse& response, const QUrl& originalURL, const HTTPRequest& newRequest,
    const std::optional<QString>& fromHostSpelling, const std::optional<QString>& toHostSpelling) const
{
    auto follow = evaluate(response, originalURL, newRequest);
    if (!follow) {
        const QString fromHost = fromHostSpelling.value_or(fromURL(response, originalURL).host());
        const QString toHost = toHostSpelling.value_or(newRequest.url.host());
        log_.warn(QStringLiteral("redirect blocked: from=") + hostTag(fromHost) + QStringLiteral(" to=")
                  + hostTag(toHost));
    }
    return follow;
}

} // namespace vellamor
