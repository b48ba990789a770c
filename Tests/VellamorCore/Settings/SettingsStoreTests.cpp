#include "QtPrinters.h"

#include "Logging/LogSink.h"
#include "Settings/SettingsStore.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

using namespace vellamor;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Token = std::shared_ptr<SettingsStore::ObserverToken>;

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
    // The preferences in the file, read back through a defaults object of its own.
    std::optional<Preferences> stored() const
    {
        const auto data = UserDefaults(defaults->filePath()).data(key);
        if (!data)
            return std::nullopt;
        return Preferences::fromJsonData(*data);
    }

    // An observer that records "<name>:<language>" in `calls`.
    SettingsStore::Callback recorder(const char* name)
    {
        return [this, name](const Preferences& p) { calls.push_back(QLatin1String(name) + u':' + p.language); };
    }

    QTemporaryDir dir;
    const QString key = SettingsStore::standardKey();
    std::shared_ptr<ScriptedDefaults> defaults
        = std::make_shared<ScriptedDefaults>(dir.path() + QStringLiteral("/vellamor.ini"));
    std::vector<QString> calls;
};

} // namespace

TEST_F(SettingsStoreTest, LoadsTheStoredBlobAndWritesNothing)
{
    defaults->setData(key, QByteArrayLiteral(R"({"language":"en"})"));
    defaults->written.clear();

    SettingsStore store(defaults, key);
    EXPECT_EQ(store.current(), withLanguage(QStringLiteral("en")));
    EXPECT_THAT(defaults->written, IsEmpty());
    EXPECT_FALSE(defaults->contains(key + QStringLiteral(".onboarded")));
}

TEST_F(SettingsStoreTest, UnreadableBlobGivesDefaultsAndStaysUntilTheNextUpdate)
{
    const QByteArray bad = QByteArrayLiteral(R"({"enableLLMPolish":"yes","language":"en"})");
    defaults->setData(key, bad);

    SettingsStore store(defaults, key);
    EXPECT_EQ(store.current(), Preferences::defaultPreferences());
    EXPECT_EQ(defaults->data(key), bad);

    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(stored(), withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(SettingsStore(defaults, key).current(), withLanguage(QStringLiteral("zh")));
}

TEST_F(SettingsStoreTest, ObserversRunInRegistrationOrderOnEveryUpdate)
{
    SettingsStore store(defaults, key);
    auto a = store.addObserver(recorder("A"));
    auto b = store.addObserver(recorder("B"));
    EXPECT_THAT(calls, IsEmpty()) << "registration does not call back";

    store.update(withLanguage(QStringLiteral("en")));
    store.update(withLanguage(QStringLiteral("en"))); // equal values are delivered too
    EXPECT_THAT(calls, ElementsAre(u"A:en", u"B:en", u"A:en", u"B:en"));

    calls.clear();
    a->cancel();
    a->cancel();
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_THAT(calls, ElementsAre(u"B:zh"));

    calls.clear();
    store.removeObserver(*b);
    b->cancel(); // already removed: harmless
    store.update(withLanguage(QStringLiteral("auto")));
    EXPECT_THAT(calls, IsEmpty());
}

TEST_F(SettingsStoreTest, ObserverStaysAsLongAsItsTokenAndIdsAreNeverReused)
{
    Token outliving;
    {
        SettingsStore store(defaults, key);
        Token token = store.addObserver(recorder("A"));
        EXPECT_EQ(token->id(), 0u);
        Token copy = token;
        token.reset();
        store.update(withLanguage(QStringLiteral("en")));
        copy.reset();
        store.update(withLanguage(QStringLiteral("zh")));
        EXPECT_THAT(calls, ElementsAre(u"A:en")) << "the last reference keeps the observer";
        outliving = store.addObserver(recorder("B"));
        EXPECT_EQ(outliving->id(), 1u);
    }
    // A token that outlives its store can still be cancelled and dropped.
    outliving->cancel();
    outliving.reset();
}

// A callback may read the store, register and remove observers: one removed
// during a pass still receives that pass, one added waits for the next.
TEST_F(SettingsStoreTest, CallbacksMayChangeTheObserversDuringAPass)
{
    SettingsStore store(defaults, key);
    Token b;
    Token added;
    auto a = store.addObserver([&](const Preferences& p) {
        recorder("A")(p);
        EXPECT_EQ(store.current(), p);
        b->cancel();
        if (!added)
            added = store.addObserver(recorder("C"));
    });
    b = store.addObserver(recorder("B"));
    store.update(withLanguage(QStringLiteral("en")));
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_THAT(calls, ElementsAre(u"A:en", u"B:en", u"A:zh", u"C:zh"));
}

TEST_F(SettingsStoreTest, NestedUpdateIsNeverFollowedByTheOlderValue)
{
    SettingsStore store(defaults, key);
    auto a = store.addObserver([&](const Preferences& p) {
        recorder("A")(p);
        if (p.language == u"en") {
            EXPECT_EQ(store.current().language, QStringLiteral("en"));
            store.update(withLanguage(QStringLiteral("zh")));
        }
    });
    auto b = store.addObserver(recorder("B"));
    auto c = store.addObserver(recorder("C"));

    store.update(withLanguage(QStringLiteral("en")));

    EXPECT_THAT(calls, ElementsAre(u"A:en", u"A:zh", u"B:zh", u"C:zh"));
    EXPECT_EQ(store.current(), withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(stored(), withLanguage(QStringLiteral("zh")));
}

TEST_F(SettingsStoreTest, FailedStoreStillNotifiesAndKeepsTheNewValue)
{
    defaults->failWrites = true;
    SettingsStore store(defaults, key);
    auto token = store.addObserver(recorder("A"));
    store.update(withLanguage(QStringLiteral("en")));
    EXPECT_THAT(calls, ElementsAre(u"A:en"));
    EXPECT_EQ(store.current().language, QStringLiteral("en"));
    EXPECT_EQ(stored(), std::nullopt);

    // The next successful write stores the newest value.
    defaults->failWrites = false;
    store.update(withLanguage(QStringLiteral("zh")));
    EXPECT_EQ(stored(), withLanguage(QStringLiteral("zh")));
}

TEST_F(SettingsStoreTest, ConcurrentUpdatesEndWithStoredEqualToCurrent)
{
    defaults->writeDelay = std::chrono::microseconds(100);
    SettingsStore store(defaults, key);
    std::atomic<int> wrongThread = 0;
    thread_local std::thread::id updatingThread;
    auto token = store.addObserver([&](const Preferences&) {
        if (std::this_thread::get_id() != updatingThread)
            ++wrongThread;
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
        ASSERT_EQ(stored(), store.current()) << "round " << round;
        EXPECT_TRUE(store.current().language.startsWith(QStringLiteral("r%1-").arg(round)));
    }
    EXPECT_EQ(wrongThread, 0) << "callbacks run on the updating thread";
}

TEST_F(SettingsStoreTest, OnboardingFlagPersistsBesideTheBlob)
{
    SettingsStore store(defaults, key);
    EXPECT_FALSE(store.hasCompletedOnboarding());
    store.markOnboardingComplete();
    store.update(withLanguage(QStringLiteral("en")));
    EXPECT_TRUE(store.hasCompletedOnboarding()) << "an update does not reset the flag";
    EXPECT_TRUE(defaults->boolValue(QStringLiteral("com.vellamor.preferences.onboarded")));
    EXPECT_FALSE(SettingsStore(defaults, QStringLiteral("other.key")).hasCompletedOnboarding());
}

namespace {

class LinesSink final : public LogSink {
public:
    void write(const QString& level, const QString&, const QString& message) override { lines.push_back(level + message); }
    std::vector<QString> lines;
};

} // namespace

TEST_F(SettingsStoreTest, ValuesOutOfRangeOrFormFallBackToTheirDefaultsWithOneWarning)
{
    const QString rtl50k(50'000, QChar(0x202E));
    const struct {
        QString blob;
        std::function<bool(const Preferences&)> kept;
        QString warning; // empty: none
    } cases[] = {
        { QStringLiteral(
              R"({"language":"zh-Hans-CN","scene":"email","style":"casual","hotkeyMode":"toggle","customHotkey":"cmd+shift+k"})"),
            [](const Preferences& p) { return p.language == u"zh-Hans-CN" && p.customHotkey == u"cmd+shift+k"; }, {} },
        { QStringLiteral(R"({"language":")") + rtl50k
                + QStringLiteral(R"(","scene":"a b","hotkeyMode":"press","style":"formal\n"})"),
            [](const Preferences& p) {
                return p.language == u"auto" && p.scene == u"general" && p.hotkeyMode == u"hold";
            },
            QStringLiteral("WARN preferences out of range, using defaults for: language, scene, style, hotkeyMode") },
        { QStringLiteral(
              R"({"backendURL":"ftp://x","style":"","selectedMicrophoneUID":"mic\n2","selectedLLMProviderName":""})"),
            [](const Preferences& p) {
                return p.backendURL == Preferences::defaultPreferences().backendURL && p.style == u"original"
                    && !p.selectedMicrophoneUID && !p.selectedLLMProviderName;
            },
            QStringLiteral("WARN preferences out of range, using defaults for: backendURL, style, "
                           "selectedMicrophoneUID, selectedLLMProviderName") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blob.left(80).toStdString());
        defaults->setData(key, c.blob.toUtf8());
        const auto sink = std::make_shared<LinesSink>();
        SettingsStore store(defaults, key, VellamorLog(QStringLiteral("s"), QStringLiteral("settings"), nullptr, sink));
        EXPECT_TRUE(c.kept(store.current()));
        EXPECT_EQ(sink->lines, c.warning.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.warning});
    }
}
