#pragma once

#include "Networking/AuthedSession.h"
#include "Networking/HTTPRequest.h"
#include "Networking/HTTPSession.h"

#include "DefaultActions.h"
#include "DevServer.h"
#include "RecordingSystemLog.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>

namespace vellamor::test {

// A development backend on a free loopback port for each test, reachable as
// two origins: "127.0.0.1" and "localhost". Only for suites that link
// VellamorDevBackend (never the core-only build).
class LiveServerTest : public ::testing::Test {
public:
    static HTTPRequest echoRequest(const QUrl& url, const QJsonObject& data = {})
    {
        HTTPRequest request;
        request.url = url;
        request.method = QStringLiteral("POST");
        request.headers.set(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
        request.body = QJsonDocument(QJsonObject{{QStringLiteral("action"), QStringLiteral("echo")},
                                                 {QStringLiteral("data"), data}})
                           .toJson(QJsonDocument::Compact);
        return request;
    }

protected:
    void SetUp() override
    {
        devbackend::installDefaultActions(server);
        ASSERT_TRUE(server.listen(0)) << server.errorString().toStdString();
    }

    QUrl urlAt(const QString& host, const QString& path) const
    {
        QUrl url = server.baseURL(host);
        url.setPath(path);
        return url;
    }
    QUrl local(const QString& path) const { return urlAt(QStringLiteral("127.0.0.1"), path); }
    QUrl otherOrigin(const QString& path) const { return urlAt(QStringLiteral("localhost"), path); }

    // A session whose redirect warnings land in `systemLog`.
    std::shared_ptr<AuthedSession> makeSession(AuthedSession::Limits limits = AuthedSession::Limits()) const
    {
        return std::make_shared<AuthedSession>(
            limits, AuthedURLSessionDelegate(VellamorLog(QStringLiteral("com.vellamor.app"),
                                                         QStringLiteral("authed-redirect"), systemLog, nullptr)));
    }

    // The "data" object of an echo answer.
    static QJsonObject echoed(const QByteArray& body)
    {
        return QJsonDocument::fromJson(body).object().value(QStringLiteral("data")).toObject();
    }

    QStringList loggedWarnings() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries())
            lines.append(entry.publicPart);
        return lines;
    }

    devbackend::DevServer server;
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
};

} // namespace vellamor::test
