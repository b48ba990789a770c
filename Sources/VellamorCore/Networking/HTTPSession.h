#pragma once

#include "Networking/HTTPRequest.h"
#include "Networking/HTTPResponse.h"

#include <QByteArray>
#include <QCoro/QCoroTask>

#include <stop_token>

namespace vellamor {

// The body and response of one completed request.
struct HTTPResult {
    QByteArray data;
    HTTPResponse response;
};

// The one seam through which every backend client sends its requests, so any
// transport (the shared session, a scripted fake) can stand in for another.
// Clients hold it as std::shared_ptr<HTTPSession>, never as the concrete type.
//
// `data` sends the request and returns the answer, whatever its status: a 4xx
// or 5xx is a result, not an error. Failures of the transport itself (no
// connection, time-out, TLS) are thrown as the session's own errors, and a
// stop request on `token` ends the call with CancellationError. Several calls
// may be in flight at once. Main thread only.
class HTTPSession {
public:
    virtual ~HTTPSession() = default;
    virtual QCoro::Task<HTTPResult> data(HTTPRequest request, std::stop_token token = {}) = 0;
};

} // namespace vellamor
