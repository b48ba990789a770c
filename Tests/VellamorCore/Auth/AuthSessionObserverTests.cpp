#include "Auth/AuthSession.h"
#include "Auth/AuthSessionObserver.h"
#include "Support/Async/RunBlocking.h"

#include "AuthSessionFixture.h"
#include "WaitUntil.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using vellamor::test::AuthSessionTest;

namespace {

TEST_F(AuthSessionTest, ObserverStartsSignedOutAndDeliversTheCurrentValueOnSubscription)
{
    auto fresh = std::make_shared<AuthSessionObserver>();
    EXPECT_EQ(fresh->state(), AuthState::unauthenticated());
    EXPECT_FALSE(fresh->lastBootstrapError().has_value());

    const auto seen = record();
    ASSERT_EQ(seen->states.size(), 1);
    EXPECT_EQ(seen->states.first(), AuthState::unauthenticated());
    ASSERT_EQ(seen->errors.size(), 1);
    EXPECT_FALSE(seen->errors.first().has_value());

    storeInKeyring(tokens(u"a"_s, 3600), user(7, u"a@x.io"_s));
    api->succeed(Op::me, user(7, u"a@x.io"_s));
    runBlocking(session->bootstrap());
    EXPECT_EQ(seen->states, (QList<AuthState>{AuthState::unauthenticated(),
                                              AuthState::authenticated(user(7, u"a@x.io"_s))}));

    // A subscriber arriving now gets the restored user at once.
    QList<AuthState> late;
    const auto subscription = session->publisher()->subscribeState([&late](const AuthState& s) { late.append(s); });
    EXPECT_EQ(late, QList<AuthState>{AuthState::authenticated(user(7, u"a@x.io"_s))});
}

TEST_F(AuthSessionTest, ObserverDeliversBeforeTheFieldHoldsTheValue)
{
    QList<AuthState> heldDuringDelivery;
    const auto subscription = session->publisher()->subscribeState(
        [this, &heldDuringDelivery](const AuthState&) { heldDuringDelivery.append(observer().state()); });
    signIn(tokens(u"a"_s, 3600), user(7, u"a@x.io"_s));
    EXPECT_EQ(heldDuringDelivery, (QList<AuthState>{AuthState::unauthenticated(), AuthState::unauthenticated()}));
    EXPECT_EQ(observer().state(), AuthState::authenticated(user(7, u"a@x.io"_s)));
}

TEST_F(AuthSessionTest, ObserverDeliversStateBeforeErrorAndEqualValuesAgain)
{
    QStringList order;
    std::optional<AuthAPIError> errorSeenByStateSubscriber = AuthAPIError::unauthorized();
    const auto stateSubscription = session->publisher()->subscribeState([&](const AuthState& state) {
        order.append(u"state "_s + state.debugDescription());
        errorSeenByStateSubscriber = observer().lastBootstrapError();
    });
    const auto errorSubscription =
        session->publisher()->subscribeLastBootstrapError([&](const std::optional<AuthAPIError>& error) {
            order.append(u"error "_s + (error ? error->debugDescription() : u"none"_s));
        });
    QObject context;
    QObject::connect(session->publisher().get(), &AuthSessionObserver::objectWillChange, &context,
                     [&order] { order.append(u"will change"_s); });
    order.clear();
    errorSeenByStateSubscriber = AuthAPIError::unauthorized();

    runBlocking(session->handleUnauthorized(AuthAPIError::tokenRevoked()));
    EXPECT_EQ(order, (QStringList{u"will change"_s, u"state unauthenticated"_s, u"will change"_s,
                                  u"error tokenRevoked"_s}));
    // The state subscriber still saw the error from before.
    EXPECT_FALSE(errorSeenByStateSubscriber.has_value());

    // Equal values are delivered again.
    order.clear();
    runBlocking(session->logout());
    EXPECT_EQ(errorSeenByStateSubscriber, AuthAPIError::tokenRevoked());
    runBlocking(session->logout());
    EXPECT_FALSE(errorSeenByStateSubscriber.has_value());
    EXPECT_EQ(order, (QStringList{u"will change"_s, u"state unauthenticated"_s, u"will change"_s, u"error none"_s,
                                  u"will change"_s, u"state unauthenticated"_s, u"will change"_s, u"error none"_s}));
}

TEST_F(AuthSessionTest, QueuedSubscriberSeesBothNewValues)
{
    std::optional<AuthAPIError> errorSeen;
    int deliveries = 0;
    const auto subscription = session->publisher()->subscribeStateQueued(
        QCoreApplication::instance(), [&](const AuthState&) {
            ++deliveries;
            errorSeen = observer().lastBootstrapError();
        });
    runBlocking(session->handleUnauthorized(AuthAPIError::tokenExpired()));
    ASSERT_TRUE(test::waitUntil([&] { return deliveries == 2; }));
    EXPECT_EQ(errorSeen, AuthAPIError::tokenExpired());
}

TEST_F(AuthSessionTest, ClearingTheErrorTouchesOnlyTheError)
{
    runBlocking(session->handleUnauthorized(AuthAPIError::tokenExpired()));
    const auto seen = record();
    runBlocking(session->clearBootstrapError());
    EXPECT_EQ(seen->states.size(), 1);
    EXPECT_EQ(seen->errors, (QList<std::optional<AuthAPIError>>{AuthAPIError::tokenExpired(), std::nullopt}));
    EXPECT_FALSE(observer().lastBootstrapError().has_value());
}

TEST_F(AuthSessionTest, RefusedRestoreByRefreshPublishesSignOutThenTheError)
{
    storeInKeyring(tokens(u"a"_s, 5), user(7, u"a@x.io"_s));
    api->fail(Op::refresh, AuthAPIError::tokenExpired());
    const auto seen = record();
    runBlocking(session->bootstrap());
    EXPECT_EQ(seen->states, (QList<AuthState>(3, AuthState::unauthenticated())));
    EXPECT_EQ(seen->errors,
              (QList<std::optional<AuthAPIError>>{std::nullopt, std::nullopt, AuthAPIError::tokenExpired()}));
}

} // namespace
