#pragma once

#include "Logging/VellamorLog.h"
#include "Networking/HTTPHeaders.h"
#include "Networking/HTTPRequest.h"
#include "Networking/HTTPResponse.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace vellamor {

// The redirect policy of the shared session. A redirect is followed only
// when it stays on the same origin (scheme, host and port; an https → http
// downgrade on the same host counts as a different origin, since it would
// re-send request bodies in clear text). A followed request never carries
// credentials: "Authorization", "Cookie" and every "X-Vellamor-…" header are
// removed on every hop, same-origin ones included. A refused redirect is
// logged with hashed host tags, never the host names, and the caller then
// gets the 3xx response itself. A chain is judged hop by hop.
//
// An empty QUrl stands for a missing URL throughout.
class AuthedURLSessionDelegate {
public:
    // Logs to subsystem "com.vellamor.app", category "authed-redirect".
    AuthedURLSessionDelegate();
    explicit AuthedURLSessionDelegate(VellamorLog log);

    // The session's hook, called before any redirected request is sent.
    // "from" is the redirect response's URL, or else the task's original URL;
    // "to" is the new request's URL. Returns the request to send (stripped) or
    // none after logging "redirect blocked: from=<tag> to=<tag>". The tags hash
    // the hosts as spelled in the URL text, which QUrl lower-cases, so the
    // caller passes the spellings it saw (none: the URLs' own hosts).
    std::optional<HTTPRequest> willPerformHTTPRedirection(const HTTPResponse& response, const QUrl& originalURL,
                                                          const HTTPRequest& newRequest,
                                                          const std::optional<QString>& fromHostSpelling = {},
                                                          const std::optional<QString>& toHostSpelling = {}) const;

    // The same decision without logging, for callers that have no task.
    static std::optional<HTTPRequest> evaluate(const HTTPResponse& response, const QUrl& originURL,
                                               const HTTPRequest& newRequest);

    // Both origin keys exist and are equal.
    static bool isSameOrigin(const QUrl& from, const QUrl& to);

    // "scheme://host:port", scheme and host lower-cased; the port is the
    // explicit one, else 443 for https and 80 for http. None for a missing
    // URL, scheme or host, and for another scheme without an explicit port.
    static std::optional<QString> originKey(const QUrl& url);

    // "host_" + the first six lower-case hex digits of SHA-256 of the host's
    // UTF-8 bytes as spelled; "host_empty" for an empty host.
    static QString hostTag(const QString& host);

    // `headers` without the credential headers (names compared lower-cased:
    // "authorization", "cookie", and any name beginning with "x-vellamor-").
    static HTTPHeaders strippingCredentials(const HTTPHeaders& headers);

    const VellamorLog& log() const { return log_; }

private:
    static QUrl fromURL(const HTTPResponse& response, const QUrl& originalURL);

    VellamorLog log_;
};

} // namespace vellamor
