#pragma once

#include "ASRTestSupport.h"
#include "AsrSessionEndpoint.h"
#include "DefaultActions.h"
#include "DevServer.h"
#include "Logging/VellamorLog.h"
#include "WaitUntil.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace vellamor::test {

// A development backend on a free loopback port for each test, with its ASR
// endpoint at "/v1/session".
class ASRLiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devbackend::installDefaultActions(server);
        endpoint = devbackend::AsrSessionEndpoint::of(server);
        ASSERT_NE(endpoint, nullptr);
        ASSERT_TRUE(server.listen(0)) << server.errorString().toStdString();
    }

    QUrl wsURL(const QString& path = QStringLiteral("/v1/session")) const
    {
        QUrl url = server.baseURL();
        url.setScheme(QStringLiteral("ws"));
        url.setPath(path);
        return url;
    }

    // Changes the endpoint's options for the following sessions.
    template<typename Change>
    void configure(Change change)
    {
        devbackend::AsrSessionEndpoint::Options options = endpoint->options();
        change(options);
        endpoint->setOptions(options);
    }

    VellamorLog log(const QString& category) const
    {
        return VellamorLog(QStringLiteral("com.vellamor.app"), category, nullptr, nullptr);
    }

    // The record of the `index`-th session, once the endpoint has accepted it.
    std::shared_ptr<devbackend::AsrSessionEndpoint::Record> session(std::size_t index = 0) const
    {
        if (!waitUntil([&] { return endpoint->sessions().size() > index; }))
            return nullptr;
        return endpoint->sessions().at(index);
    }

    // The kind of error `task` fails with; none when it succeeds.
    template<typename E>
    static std::optional<typename E::Kind> failureKind(QCoro::Task<void> task)
    {
        try {
            runBlocking(std::move(task));
        } catch (const E& error) {
            return error.kind();
        }
        return std::nullopt;
    }

    devbackend::DevServer server;
    devbackend::AsrSessionEndpoint* endpoint = nullptr;
};

} // namespace vellamor::test
