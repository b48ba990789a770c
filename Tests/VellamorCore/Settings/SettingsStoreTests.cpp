#include "QtPrinters.h"

#include "Settings/SettingsStore.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

using namespace vellamor;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

Preferences withLanguage(const QString& language)
{
    Preferences p;
    p.language = language;
    return p;
}

// UserDefaults whose writes can fail or be slowed down, recording every blob written.
class ScriptedDefaults : public UserDefaults {
public:
    using UserDefaults::UserDefaults;

    bool setData(const QString& key, const QByteArray& value) override
    {
        if (writeDelay.count() > 0) {
            // Uneven delays let a write that started earlier finish later.
            const int step = static_cast<int>(writeCount.fetch_add(1) * 7919 % 5);
            std::this_thread::sleep_for(writeDelay * step);
        }
        {
            const std::lock_guard lock(mutex);
            written.push_back(value);
        }
        if (failWrites)
            return false;
        return UserDefaults::setData(key, value);
    }

    std::atomic<bool> failWrites = false;
    std::atomic<int> writeCount = 0;
    std::chrono::microseconds writeDelay { 0 };
    std::mutex mutex;
    std::vector<QByteArray> written;
};

class SettingsStoreTest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedDefaults> makeDefaults()
    {
        return std::make_shared<ScriptedDefaults>(dir.path() + QStringLiteral("/vellamor.ini"));
    }

    std::optional<Preferences> stored(UserDefaults& defaults) const
    {
        const auto data = defaults.data(key);
        if (!data)
            return std::nullopt;
        return Preferences::fromJsonData(*data);
    }

    QTemporaryDir dir;
    const QString key = SettingsStore::standardKey();
};

} // namespace

TEST_F(SettingsStoreTest, LoadsTheStoredBlobAndWritesNothing)
{
    auto defaults = makeDefaults();
    defaults->setData(key, QByteArrayLiteral(R"({"language":"en"})"));
    defaults->written.clear();

    SettingsStore store(defaults, key);
    EXPECT_EQ(store.current(), withLanguage(QStringLiteral("en")));
    EXPECT_THAT(defaults->written, IsEmpty());
    EXPECT_FALSE(defaults->contains(key + QStringLiteral(".onboarded")));
}

TEST_F(SettingsStoreTest, UnreadableBlobGivesDefaultsAndStaysUntilTheNextUpdate)
{
    auto defaults = makeDefaults();
    const QByteArray bad = QByteArrayLiteral(R"({"enableLLMPolish":"yes","language":"en"})");
    defaults->setData(key, bad);

    SettingsStore store(defaults, key);
    EXPECT_EQ(store.current(), Preferences::defaultPreferences());
    EXPECT_EQ(defaults->data(key), bad);

    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(stored(*defaults), withLanguage(QStringLiteral("zh")));
}

TEST_F(SettingsStoreTest, TextStoredUnderTheKeyIsNotData)
{
    auto defaults = makeDefaults();
    defaults->setString(key, QStringLiteral(R"({"language":"en"})"));
    SettingsStore store(defaults, key);
    EXPECT_EQ(store.current(), Preferences::defaultPreferences());
}

TEST_F(SettingsStoreTest, UpdatePersistsAndANewStoreSeesIt)
{
    auto defaults = makeDefaults();
    Preferences changed = withLanguage(QStringLiteral("en"));
    changed.selectedMicrophoneUID = std::nullopt;
    changed.customHotkey = QStringLiteral("ctrl+space");
    {
        SettingsStore store(defaults, key);
        store.update(changed);
        EXPECT_EQ(store.current(), changed);
    }
    const auto blob = defaults->data(key);
    ASSERT_TRUE(blob);
    EXPECT_FALSE(blob->contains("selectedMicrophoneUID"));
    EXPECT_EQ(SettingsStore(defaults, key).current(), changed);
    EXPECT_EQ(SettingsStore(std::make_shared<UserDefaults>(defaults->filePath()), key).current(), changed);
}

TEST_F(SettingsStoreTest, ObserversRunInRegistrationOrderOnEveryUpdate)
{
    SettingsStore store(makeDefaults(), key);
    std::vector<QString> calls;
    auto a = store.addObserver([&](const Preferences& p) { calls.push_back(QStringLiteral("A:") + p.language); });
    auto b = store.addObserver([&](const Preferences& p) { calls.push_back(QStringLiteral("B:") + p.language); });
    EXPECT_THAT(calls, IsEmpty()) << "registration does not call back";

    store.update(withLanguage(QStringLiteral("en")));
    store.update(withLanguage(QStringLiteral("en"))); // equal values are delivered too
    EXPECT_THAT(calls,
        ElementsAre(QStringLiteral("A:en"), QStringLiteral("B:en"), QStringLiteral("A:en"), QStringLiteral("B:en")));

    calls.clear();
    a->cancel();
    a->cancel();
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_THAT(calls, ElementsAre(QStringLiteral("B:zh")));

    calls.clear();
    store.removeObserver(*b);
    b->cancel(); // already removed: harmless
    store.update(withLanguage(QStringLiteral("auto")));
    EXPECT_THAT(calls, IsEmpty());
}

TEST_F(SettingsStoreTest, DroppingTheTokenStopsTheObserver)
{
    SettingsStore store(makeDefaults(), key);
    int calls = 0;
    auto token = store.addObserver([&](const Preferences&) { ++calls; });
    auto copy = token;
    token.reset();
    store.update(Preferences());
    EXPECT_EQ(calls, 1) << "a remaining reference keeps the observer";
    copy.reset();
    store.update(Preferences());
    EXPECT_EQ(calls, 1);
}

TEST_F(SettingsStoreTest, IdsStartAtZeroAndAreNeverReused)
{
    SettingsStore store(makeDefaults(), key);
    auto first = store.addObserver([](const Preferences&) { });
    auto second = store.addObserver([](const Preferences&) { });
    EXPECT_EQ(first->id(), 0u);
    EXPECT_EQ(second->id(), 1u);
    first.reset();
    second->cancel();
    EXPECT_EQ(store.addObserver([](const Preferences&) { })->id(), 2u);
}

TEST_F(SettingsStoreTest, ObserverRemovedDuringAPassStillReceivesThatPass)
{
    SettingsStore store(makeDefaults(), key);
    std::vector<QString> calls;
    std::shared_ptr<SettingsStore::ObserverToken> b;
    auto a = store.addObserver([&](const Preferences& p) {
        calls.push_back(QStringLiteral("A:") + p.language);
        b->cancel();
    });
    b = store.addObserver([&](const Preferences& p) { calls.push_back(QStringLiteral("B:") + p.language); });
    store.update(withLanguage(QStringLiteral("en")));
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_THAT(calls, ElementsAre(QStringLiteral("A:en"), QStringLiteral("B:en"), QStringLiteral("A:zh")));
}

TEST_F(SettingsStoreTest, NestedUpdateIsNeverFollowedByTheOlderValue)
{
    auto defaults = makeDefaults();
    SettingsStore store(defaults, key);
    std::vector<QString> calls;
    auto a = store.addObserver([&](const Preferences& p) {
        calls.push_back(QStringLiteral("A:") + p.language);
        if (p.language == u"en") {
            EXPECT_EQ(store.current().language, QStringLiteral("en"));
            store.update(withLanguage(QStringLiteral("zh")));
        }
    });
    auto b = store.addObserver([&](const Preferences& p) { calls.push_back(QStringLiteral("B:") + p.language); });
    auto c = store.addObserver([&](const Preferences& p) { calls.push_back(QStringLiteral("C:") + p.language); });

    store.update(withLanguage(QStringLiteral("en")));

    EXPECT_THAT(calls,
        ElementsAre(QStringLiteral("A:en"), QStringLiteral("A:zh"), QStringLiteral("B:zh"), QStringLiteral("C:zh")));
    EXPECT_EQ(store.current(), withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(stored(*defaults), withLanguage(QStringLiteral("zh")));
}

TEST_F(SettingsStoreTest, CallbacksMayRegisterAndReadWithoutDeadlock)
{
    SettingsStore store(makeDefaults(), key);
    std::vector<std::shared_ptr<SettingsStore::ObserverToken>> added;
    int lateCalls = 0;
    auto a = store.addObserver([&](const Preferences& p) {
        EXPECT_EQ(store.current(), p);
        added.push_back(store.addObserver([&](const Preferences&) { ++lateCalls; }));
    });
    store.update(withLanguage(QStringLiteral("en")));
    EXPECT_EQ(lateCalls, 0) << "an observer added during a pass is not part of it";
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(lateCalls, 1);
}

TEST_F(SettingsStoreTest, FailedStoreStillNotifiesAndKeepsTheNewValue)
{
    auto defaults = makeDefaults();
    defaults->failWrites = true;
    SettingsStore store(defaults, key);
    std::vector<QString> seen;
    auto token = store.addObserver([&](const Preferences& p) { seen.push_back(p.language); });
    store.update(withLanguage(QStringLiteral("en")));
    EXPECT_THAT(seen, ElementsAre(QStringLiteral("en")));
    EXPECT_EQ(store.current().language, QStringLiteral("en"));
    EXPECT_FALSE(defaults->data(key));

    // The next successful write stores the newest value.
    defaults->failWrites = false;
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(stored(*defaults), withLanguage(QStringLiteral("zh")));
}

TEST_F(SettingsStoreTest, ConcurrentUpdatesEndWithStoredEqualToCurrent)
{
    auto defaults = makeDefaults();
    defaults->writeDelay = std::chrono::microseconds(100);
    SettingsStore store(defaults, key);
    std::mutex seenMutex;
    int wrongThread = 0;
    thread_local std::thread::id updatingThread;
    auto token = store.addObserver([&](const Preferences&) {
        if (std::this_thread::get_id() != updatingThread) {
            const std::lock_guard lock(seenMutex);
            ++wrongThread;
        }
    });

    // Each round releases several updates at once; a store that wrote each
    // update's own value unserialised would often end with an older blob.
    constexpr int rounds = 30;
    constexpr int threads = 4;
    for (int round = 0; round < rounds; ++round) {
        std::latch start(threads);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                updatingThread = std::this_thread::get_id();
                start.arrive_and_wait();
                store.update(withLanguage(QStringLiteral("r%1-t%2").arg(round).arg(t)));
            });
        }
        for (auto& worker : workers)
            worker.join();
        ASSERT_EQ(stored(*defaults), store.current()) << "round " << round;
        EXPECT_TRUE(store.current().language.startsWith(QStringLiteral("r%1-").arg(round)));
    }
    EXPECT_EQ(wrongThread, 0) << "callbacks run on the updating thread";
}

TEST_F(SettingsStoreTest, TokensOutlivingTheStoreAreHarmless)
{
    std::shared_ptr<SettingsStore::ObserverToken> token;
    {
        SettingsStore store(makeDefaults(), key);
        token = store.addObserver([](const Preferences&) { });
    }
    token->cancel();
    token.reset();
    SUCCEED();
}

TEST_F(SettingsStoreTest, OnboardingFlagPersistsBesideTheBlob)
{
    auto defaults = makeDefaults();
    {
        SettingsStore store(defaults, key);
        EXPECT_FALSE(store.hasCompletedOnboarding());
        store.markOnboardingComplete();
        EXPECT_TRUE(store.hasCompletedOnboarding());
        store.update(withLanguage(QStringLiteral("en")));
        EXPECT_TRUE(store.hasCompletedOnboarding()) << "an update does not reset the flag";
    }
    EXPECT_TRUE(defaults->boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
    EXPECT_TRUE(SettingsStore(defaults, key).hasCompletedOnboarding());
    EXPECT_TRUE(
        SettingsStore(std::make_shared<UserDefaults>(defaults->filePath()), key).hasCompletedOnboarding());
    EXPECT_FALSE(SettingsStore(defaults, QStringLiteral("other.key")).hasCompletedOnboarding());
}
