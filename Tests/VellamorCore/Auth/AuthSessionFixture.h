#pragma once

#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"

#include "AuthTestPrinters.h"
#include "FakeAuthAPI.h"
#include "InMemorySecureItemStore.h"
#include "RecordingSystemLog.h"
#include "TestEnvironment.h"

#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

namespace vellamor::test {

// An AuthSession over a scripted client, an in-memory keyring and a clock the
// test sets, with its log lines recorded.
class AuthSessionTest : public ::testing::Test {
protected:
    using Op = FakeAuthAPI::Op;
    using Variant = SecureItemStore::Variant;

    static QString service() { return QStringLiteral("com.vellamor.app.auth"); }
    static QString account() { return QStringLiteral("session"); }

    void SetUp() override { session = makeSession(); }

    std::shared_ptr<AuthSession> makeSession()
    {
        auto keychain = std::make_shared<KeychainStore>(items, service(), account());
        return std::make_shared<AuthSession>(
            api, keychain,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("auth-session"), systemLog, nullptr),
            [clock = clock] { return *clock; }, defaults);
    }

    // A fresh client, keyring, log and session, for each case of a table.
    void startOver()
    {
        api = std::make_shared<FakeAuthAPI>();
        items = std::make_shared<InMemorySecureItemStore>();
        systemLog = std::make_shared<RecordingSystemLog>();
        session = makeSession();
    }

    Date now() const { return *clock; }
    AuthTokens tokens(const QString& name, double secondsLeft) const
    {
        return AuthTokens{QStringLiteral("at-") + name, QStringLiteral("rt-") + name,
                          now().addingSeconds(secondsLeft)};
    }
    static AuthMe user(qint64 id, const QString& email)
    {
        return AuthMe{id, email, QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000), std::nullopt};
    }

    void storeInKeyring(const AuthTokens& stored, const std::optional<AuthMe>& storedMe)
    {
        items->put(service(), account(), KeychainStore::encodeDocument(stored, storedMe), Variant::dataProtection);
    }
    std::optional<KeychainStore::Stored> keyring() const
    {
        const auto data = items->item(service(), account(), Variant::dataProtection);
        return data ? KeychainStore::decodeDocument(*data) : std::nullopt;
    }

    // Signs in through the password road.
    void signIn(const AuthTokens& signedTokens, const AuthMe& signedMe)
    {
        api->succeed(Op::login, AuthAPIProtocol::SignIn{signedTokens, signedMe});
        runBlocking(session->loginWithPassword(signedMe.email, QStringLiteral("password")));
    }

    QStringList lines(SystemLogLevel level) const
    {
        QStringList found;
        for (const auto& entry : systemLog->entries()) {
            if (entry.level == level)
                found.append(entry.publicPart);
        }
        return found;
    }
    QStringList warnings() const { return lines(SystemLogLevel::Default); }
    QStringList infos() const { return lines(SystemLogLevel::Info); }

    const AuthSessionObserver& observer() const { return *session->publisher(); }

    // Everything the observer delivers from now on (the current values first).
    struct Recorder {
        QList<AuthState> states;
        QList<std::optional<AuthAPIError>> errors;
        Subscription stateSubscription;
        Subscription errorSubscription;
    };
    std::unique_ptr<Recorder> record() const
    {
        auto recorder = std::make_unique<Recorder>();
        Recorder* raw = recorder.get();
        recorder->stateSubscription =
            session->publisher()->subscribeState([raw](const AuthState& state) { raw->states.append(state); });
        recorder->errorSubscription = session->publisher()->subscribeLastBootstrapError(
            [raw](const std::optional<AuthAPIError>& error) { raw->errors.append(error); });
        return recorder;
    }

    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<InMemorySecureItemStore> items = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<RecordingSystemLog> systemLog = std::make_shared<RecordingSystemLog>();
    std::shared_ptr<Date> clock = std::make_shared<Date>(Date::fromUnixSeconds(1'800'000'000));
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(
        testHome() + QStringLiteral("/defaults-") + QUuid::createUuid().toString(QUuid::WithoutBraces)
        + QStringLiteral(".ini"));
    std::shared_ptr<AuthSession> session;
};

} // namespace vellamor::test
