#pragma once

#include "Networking/AccessTokenProvider.h"
#include "Networking/HTTPRequest.h"

#include "RecordingUnauthorizedHandler.h"
#include "ScriptedHTTPSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace vellamor::test {

// A token provider that answers whatever `slot` holds when asked, so a test
// can change the token between calls.
inline AccessTokenProvider tokensFrom(std::shared_ptr<std::optional<QString>> slot)
{
    return [slot]() -> QCoro::Task<std::optional<QString>> {
        // A copy: co_return would move out of the slot.
        co_return std::optional<QString>(*slot);
    };
}

// The doubles every account client test hands its client: a scripted
// session, a recording sign-out seam and a token the test can change.
class AccountClientTest : public ::testing::Test {
protected:
    static inline const QUrl base{QStringLiteral("https://api.example.test/prefix")};
    static inline const QUrl endpoint{QStringLiteral("https://api.example.test/prefix/v1/api.json")};
    // Stands for an answer that has no HTTP status at all.
    static constexpr int notHTTP = 0;

    AccessTokenProvider tokens() const { return tokensFrom(token); }

    void reply(int status, const QByteArray& body)
    {
        if (status == notHTTP)
            session->respondNonHTTP(body);
        else
            session->respond(status, body);
    }

    static QJsonObject sentEnvelope(const HTTPRequest& request)
    {
        return QJsonDocument::fromJson(request.body).object();
    }
    static QJsonObject envelope(const QString& action, const QJsonObject& data)
    {
        return QJsonObject{{QStringLiteral("action"), action}, {QStringLiteral("data"), data}};
    }

    std::shared_ptr<std::optional<QString>> token = std::make_shared<std::optional<QString>>(QStringLiteral("tok"));
    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
};

} // namespace vellamor::test
