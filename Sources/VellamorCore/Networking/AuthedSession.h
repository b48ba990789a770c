#pragma once

#include "Networking/AuthedURLSessionDelegate.h"
#include "Networking/HTTPSession.h"

#include <QDeadlineTimer>

#include <chrono>
#include <memory>

namespace vellamor {

// The one HTTP session of the backend clients, over QNetworkAccessManager.
//
// Time limits, each enforced by a timer that aborts the reply and then
// throws NetworkError::timedOut:
// - idle: the longest wait for the next piece of the answer (20 s). A
//   request's own `timeout`, when set, takes this place for that request.
// - whole: the longest a request may take from start to end, across every
//   redirect hop (60 s).
// Redirects are followed in a loop of its own (Qt's manual redirect policy),
// asking the AuthedURLSessionDelegate before each hop; a refused redirect
// returns the 3xx response. 301, 302 and 303 continue as a GET without body
// (a HEAD stays a HEAD); 307 and 308 re-send method and body.
// A stop request on the call's token aborts the reply and throws
// CancellationError. Statuses are never errors here. Cookies and caching are
// Qt's defaults. Main thread only.
class AuthedSession final : public HTTPSession {
public:
    struct Limits {
        std::chrono::milliseconds idle = std::chrono::seconds(20);
        std::chrono::milliseconds whole = std::chrono::seconds(60);
        int maxRedirects = 16;
    };

    AuthedSession();
    explicit AuthedSession(Limits limits, AuthedURLSessionDelegate delegate = {});
    ~AuthedSession() override;

    AuthedSession(const AuthedSession&) = delete;
    AuthedSession& operator=(const AuthedSession&) = delete;

    // The process-wide session, created on first use (from the main thread)
    // and never destroyed: it outlives the application object.
    static std::shared_ptr<AuthedSession> shared();

    const Limits& limits() const;

    QCoro::Task<HTTPResult> data(HTTPRequest request, std::stop_token token = {}) override;

    // The host of a Location header as spelled there: the authority's host of
    // an absolute or scheme-relative reference, empty for a reference with a
    // scheme but no authority, and `currentHost` for a relative reference.
    static QString hostSpelling(const QString& location, const QString& currentHost);

private:
    struct Impl;
    // One request on the wire, without following redirects.
    static QCoro::Task<HTTPResult> runHop(std::shared_ptr<Impl> impl, HTTPRequest request, std::stop_token token,
                                          QDeadlineTimer wholeDeadline);

    std::shared_ptr<Impl> impl_;
};

} // namespace vellamor
