#include "HistoryPanelFixture.h"

#include "History/HistorySyncEngine.h"
#include "FakeDataSyncAPI.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

QStringList textsOf(const QList<HistoryRecord>& records)
{
    QStringList texts;
    for (const HistoryRecord& record : records)
        texts.append(record.text);
    return texts;
}

using HistoryViewModelTest = HistoryPanelTest;

TEST_F(HistoryViewModelTest, EveryKindOfChangeEventReloadsTheList)
{
    const HistoryRecord first = append(QStringLiteral("first"));
    auto model = loadedModel();
    EXPECT_THAT(textsOf(model->items.value()), ElementsAre(QStringLiteral("first")));

    const auto shows = [&](const QStringList& texts) {
        return waitUntil([&] { return textsOf(model->items.value()) == texts && !model->isLoading.value(); });
    };
    append(QStringLiteral("second"));
    EXPECT_TRUE(shows({ QStringLiteral("second"), QStringLiteral("first") }));
    runBlocking(store->deleteRecord(first.id));
    EXPECT_TRUE(shows({ QStringLiteral("second") }));
    runBlocking(store->clear());
    EXPECT_TRUE(shows({}));
}

TEST_F(HistoryViewModelTest, BurstOfEventsFoldsIntoOneRunningAndOnePendingLoad)
{
    auto model = loadedModel();
    append(QStringLiteral("merged"));
    ASSERT_TRUE(waitUntil([&] { return model->items.value().size() == 1 && !model->isLoading.value(); }));
    int loads = 0;
    const Subscription counter = model->items.subscribe([&](const QList<HistoryRecord>&) { ++loads; });
    loads = 0;
    // A cloud merge publishes one event per record.
    for (int i = 0; i < 40; ++i)
        broadcaster->publish(HistoryChangeEvent::cleared());
    ASSERT_TRUE(waitUntil([&] { return loads >= 1 && !model->isLoading.value(); }));
    // Every list the burst asked the store for has answered.
    runBlocking(store->flush());
    afterQueuedCalls();
    EXPECT_LE(loads, 2);
    EXPECT_THAT(textsOf(model->items.value()), ElementsAre(QStringLiteral("merged")));
}

TEST_F(HistoryViewModelTest, ConnectionTellsWhereTheHistoryLives)
{
    // 09:05 local time today.
    const Date nineOFive = Date::fromUnixMilliseconds(QDateTime(QDate::currentDate(), QTime(9, 5)).toMSecsSinceEpoch());
    auto observer = std::make_shared<HistorySyncObserver>();
    auto dataSync = std::make_shared<FakeDataSyncAPI>();
    HistorySyncEngine engine(dataSync, store, observer, {}, HistorySyncEngine::defaultLog(),
                             HistorySyncEngine::Clock{[nineOFive] { return nineOFive; }, timers.sleeper()});

    auto model = loadedModel(observer);
    const auto connected = [&](const QString& reason) {
        return waitUntil([&] { return model->connection.value() == DataSyncConnection::local(reason); });
    };
    EXPECT_TRUE(connected(QStringLiteral("登录后可云端同步")));
    signIn();
    EXPECT_TRUE(connected(QStringLiteral("本地存储")));
    engine.start();
    ASSERT_TRUE(waitUntil([&] { return observer->lastSyncAt().has_value(); }));
    model->refresh();
    EXPECT_TRUE(connected(QStringLiteral("本地存储 / 已同步 09:05")));
    runBlocking(auth->logout());
    EXPECT_TRUE(connected(QStringLiteral("登录后可云端同步"))) << "signed out, whatever was synchronised before";
}

TEST_F(HistoryViewModelTest, EachOutcomeShowsItsFeedbackForItsTime)
{
    struct Case {
        const char* name;
        bool target;
        int failing;
        Published<std::optional<QUuid>> HistoryViewModel::*field; // none: the banner
        std::chrono::milliseconds shownFor;
        bool marked;
    };
    const Case cases[] = {
        {"ax", true, 0, &HistoryViewModel::pulsingItemId, 700ms, true},
        {"keyboard", true, 1, &HistoryViewModel::typingHintItemId, 600ms, true},
        {"clipboard", true, 2, nullptr, 2500ms, true},
        {"noTarget", false, 0, &HistoryViewModel::copiedItemId, 2500ms, true},
        {"allFailed", true, 3, &HistoryViewModel::copiedItemId, 2500ms, false},
    };
    const HistoryRecord record = append(QStringLiteral("again"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        probe->hasTarget = c.target;
        failFirstLayers(c.failing);
        auto model = loadedModel();
        const auto shown = [&] {
            return c.field ? ((*model).*(c.field)).value() == record.id
                           : model->degradeBannerText.value() == HistoryViewModel::clipboardBanner();
        };
        model->insert(record);
        ASSERT_TRUE(waitUntil([&] { return model->sessionInsertedCount() == 1; }));
        EXPECT_TRUE(shown());
        EXPECT_EQ(model->insertedItemIds.value().contains(record.id), c.marked);
        timers.advance(c.shownFor - 1ms);
        afterQueuedCalls();
        EXPECT_TRUE(shown());
        timers.advance(1ms);
        ASSERT_TRUE(waitUntil([&] { return !shown(); }));
        if (!c.marked) {
            EXPECT_EQ(model->topHintText.value(), HistoryViewModel::allFailedHint()) << "until the next refresh";
            EXPECT_EQ(pasteboard->text(platform::PasteboardSelection::clipboard), QStringLiteral("again"));
            model->refresh();
            EXPECT_EQ(model->topHintText.value(), std::nullopt);
        }
    }
}

TEST_F(HistoryViewModelTest, OnlyTheLaterInsertionsOfASessionStartOnANewLine)
{
    const HistoryRecord one = append(QStringLiteral("one"));
    const HistoryRecord two = append(QStringLiteral("two"));
    auto model = loadedModel();
    model->insert(HistoryRecord(QUuid::createUuid(), {}, QStringLiteral("heard"), std::nullopt, std::nullopt,
        Date::now(), std::nullopt, std::nullopt, false, std::nullopt));
    // Two clicks before the first insertion ends both go as they are.
    ax->gate = Channel<bool>();
    model->insert(one);
    model->insert(two);
    ax->gate->push(true);
    ax->gate->push(true);
    ASSERT_TRUE(waitUntil([&] { return model->sessionInsertedCount() == 2; }));
    ax->gate.reset();
    model->insert(one);
    ASSERT_TRUE(waitUntil([&] { return model->sessionInsertedCount() == 3; }));
    model->resetSessionInsertState();
    EXPECT_TRUE(model->insertedItemIds.value().isEmpty());
    model->insert(two);
    ASSERT_TRUE(waitUntil([&] { return model->sessionInsertedCount() == 1; }));
    EXPECT_THAT(ax->texts,
        ElementsAre(QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("\none"), QStringLiteral("two")))
        << "the empty text is skipped";
}

TEST_F(HistoryViewModelTest, AnEarlierTimerLeavesALaterRowsPulse)
{
    const HistoryRecord a = append(QStringLiteral("a"));
    const HistoryRecord b = append(QStringLiteral("b"));
    auto model = loadedModel();
    model->insert(a);
    ASSERT_TRUE(waitUntil([&] { return model->pulsingItemId.value() == a.id; }));
    timers.advance(300ms);
    model->insert(b);
    ASSERT_TRUE(waitUntil([&] { return model->pulsingItemId.value() == b.id; }));
    timers.advance(400ms);
    afterQueuedCalls();
    EXPECT_EQ(model->pulsingItemId.value(), b.id);
    timers.advance(300ms);
    EXPECT_TRUE(waitUntil([&] { return !model->pulsingItemId.value(); }));
}

TEST_F(HistoryViewModelTest, UntrustedAccessibilityShowsTheHintAndQueryFiltersAllFields)
{
    trusted = false;
    append(QStringLiteral("plain"), QStringLiteral("com.Example.Editor"));
    append(QStringLiteral("other"));
    auto model = loadedModel();
    EXPECT_EQ(model->topHintText.value(), HistoryViewModel::noTargetHint());
    model->query = QStringLiteral("   ");
    EXPECT_EQ(model->filtered().size(), 2);
    model->query = QStringLiteral(" EXAMPLE ");
    EXPECT_THAT(textsOf(model->filtered()), ElementsAre(QStringLiteral("plain")));
    trusted = true;
    model->refresh();
    EXPECT_EQ(model->topHintText.value(), std::nullopt);
}

} // namespace
} // namespace vellamor::test
