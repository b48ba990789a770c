#pragma once

#include "Account/SystemAPIError.h"
#include "Account/SystemAPIProtocol.h"
#include "Networking/HTTPSession.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

namespace vellamor {

// The client of "system.ping" and "system.config", both with data {} and
// without any token. One request per call with a 10 s time-out; failures in
// this order: payload not encodable → network("请求编码失败"); the session's
// own errors unchanged; not HTTP → network("无效响应"); status ≥ 400, 401
// included → network("HTTP <status>"), the body unread and nobody signed
// out; below 400 the whole envelope must decode → else network("响应解析失败");
// code ≠ 0, 40100…40103 included → server(code, msg); no "data" →
// network("空响应"). No logging, no cache, no retry. Main thread only.
class SystemAPI final : public QObject, public SystemAPIProtocol {
public:
    static constexpr std::chrono::seconds requestTimeout{10};

    SystemAPI(QUrl baseURL, std::shared_ptr<HTTPSession> session, QObject* parent = nullptr);

    QCoro::Task<SystemPingResponse> ping() override;
    QCoro::Task<SystemConfigResponse> config() override;

private:
    template<typename R>
    static QCoro::Task<R> call(QUrl baseURL, std::shared_ptr<HTTPSession> session, QString action);

    QUrl baseURL_;
    std::shared_ptr<HTTPSession> session_;
};

} // namespace vellamor
