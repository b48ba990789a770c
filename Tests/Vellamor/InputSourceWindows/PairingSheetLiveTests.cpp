#include "LiveServerFixture.h"
#include "ManualSteadyClock.h"
#include "RecordingUnauthorizedHandler.h"
#include "WaitUntil.h"

#include "DevInputSources.h"
#include "InputSourceWindows/PairingSheetViewModel.h"
#include "InputSources/InputSourceAPI.h"
#include "Support/Async/RunBlocking.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;
using devbackend::DevInputSources;
using devbackend::ScriptedAnswer;

// The sheet's model over the real client of one account, its polls waiting
// for the test's clock; `polls` counts the waits between lists, each begun
// once a list has been judged.
struct Sheet {
    explicit Sheet(std::shared_ptr<InputSourceAPI> api)
        : model(std::move(api), [this](std::chrono::milliseconds duration, std::stop_token stop) {
            if (duration == PairingSheetViewModel::pollInterval)
                ++polls;
            return clock.sleeper()(duration, std::move(stop));
        })
    {
    }
    // Its waits end on a later turn of the loop.
    ~Sheet()
    {
        model.stop();
        afterQueuedCalls();
    }

    // Shows a code, then watches for its claim until a list has been judged.
    void open()
    {
        model.load();
        ASSERT_TRUE(waitUntil([&] { return std::holds_alternative<PairingSheetReady>(model.phase.value()); }));
        model.startClaimPolling([this] { claimed = true; });
        ASSERT_TRUE(waitUntil([&] { return polls == 1 || claimed; }));
    }
    // The next list, once it has been judged.
    void poll()
    {
        const int before = polls;
        clock.advance(PairingSheetViewModel::pollInterval);
        ASSERT_TRUE(waitUntil([&] { return polls > before || claimed; }));
    }
    QString code() const { return std::get<PairingSheetReady>(model.phase.value()).code; }

    ManualSteadyClock clock;
    int polls = 0;
    bool claimed = false;
    PairingSheetViewModel model;
};

class PairingSheetLive : public LiveServerTest {
protected:
    std::shared_ptr<InputSourceAPI> clientOf(const QString& token)
    {
        return std::make_shared<InputSourceAPI>(server.baseURL(), server.baseURL(), makeSession(),
            [token]() -> QCoro::Task<std::optional<QString>> { co_return token; },
            std::make_shared<RecordingUnauthorizedHandler>());
    }
};

// A devserver whose clock runs 2 min ahead or behind: a phone bound just
// before the sheet opens does not close it, the phone that claims its code
// does, also when the first list failed.
TEST_F(PairingSheetLive, AServiceClockAheadOrBehindNeitherClosesTheSheetNorHidesTheClaim)
{
    DevInputSources& phones = *DevInputSources::of(server);
    for (const std::chrono::seconds skew : { 120s, -120s }) {
        SCOPED_TRACE(std::to_string(skew.count()) + " s");
        server.setClockSkew(skew);
        const auto api = clientOf(QStringLiteral("skew") + QString::number(skew.count()));
        const auto bound = phones.claim(runBlocking(api->createPairing()).code, QStringLiteral("Pixel 7"));
        ASSERT_TRUE(bound);
        runBlocking(api->confirmPairing(bound->sourceID, true));

        Sheet sheet(api);
        sheet.open();
        sheet.poll();
        EXPECT_FALSE(sheet.claimed) << "closed with nobody scanning";
        ASSERT_TRUE(phones.claim(sheet.code(), QStringLiteral("Pixel 8")));
        sheet.poll();
        EXPECT_TRUE(sheet.claimed);

        ScriptedAnswer down;
        down.action = QStringLiteral("inputSource.list");
        down.status = 500;
        server.script(down);
        Sheet failedFirst(api);
        failedFirst.open();
        ASSERT_FALSE(failedFirst.claimed);
        // A phone takes longer than the second the code was issued in.
        const qint64 shown = server.now().toSecsSinceEpoch();
        ASSERT_TRUE(waitUntil([&] { return server.now().toSecsSinceEpoch() > shown; }));
        ASSERT_TRUE(phones.claim(failedFirst.code(), QStringLiteral("Pixel 9")));
        failedFirst.poll();
        EXPECT_TRUE(failedFirst.claimed) << "the claim after a failed first list was missed";
    }
}

} // namespace
} // namespace vellamor::test
