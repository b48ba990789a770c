#include "TestEnvironment.h"

#include "SettingsWindow/SettingsStoreObservable.h"

#include <QDir>

#include <set>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

class SettingsStoreObservableTest : public ::testing::Test {
protected:
    SettingsStoreObservableTest()
    {
        Preferences stored;
        stored.backendURL = QStringLiteral("https://stored.example/");
        stored.selectedMicrophoneUID = QStringLiteral("usb-mic");
        stored.selectedLLMProviderName = QStringLiteral("model-a");
        store->update(stored);
        observer = store->addObserver([this](const Preferences& prefs) {
            // The store tells its observers before the binding's token moves.
            events.append(QStringLiteral("store ") + prefs.language
                + (obs && obs->savedFlashToken.value() ? QStringLiteral(" after") : QStringLiteral("")));
        });
    }

    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(
        std::make_shared<UserDefaults>(QDir(testHome()).filePath(QStringLiteral("binding.ini"))),
        SettingsStore::standardKey());
    std::shared_ptr<SettingsStore::ObserverToken> observer;
    std::unique_ptr<SettingsStoreObservable> obs;
    QStringList events;
};

TEST_F(SettingsStoreObservableTest, WritesOnlyRealChangesAndFlashesOncePerWrite)
{
    obs = std::make_unique<SettingsStoreObservable>(store);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(obs->selectedMicrophoneUID.value(), QStringLiteral("usb-mic"));
    EXPECT_EQ(obs->savedFlashToken.value(), std::nullopt);

    QStringList heard;
    Subscription watch = obs->language.subscribe(
        [&](const QString& value) { heard.append(value + QStringLiteral(" stored ") + store->current().language); });
    std::set<QUuid> tokens;
    Subscription flashes = obs->savedFlashToken.subscribe([&](const std::optional<QUuid>& token) {
        if (token)
            tokens.insert(*token);
    });

    obs->language.set(QStringLiteral("auto"));
    EXPECT_TRUE(events.isEmpty()) << "an equal value writes nothing";
    obs->enableLLMPolish.set(false);
    obs->enableLLMPolish.set(true);
    obs->language.set(QStringLiteral("en"));
    obs->customHotkey.set(QStringLiteral("ctrl+k"));
    obs->customHotkey.set(std::nullopt);

    EXPECT_EQ(events,
        (QStringList { QStringLiteral("store auto"), QStringLiteral("store auto after"),
            QStringLiteral("store en after"), QStringLiteral("store en after"), QStringLiteral("store en after") }));
    EXPECT_EQ(tokens.size(), 5u);
    // Subscribers hear an edit before it is written.
    EXPECT_EQ(heard,
        (QStringList { QStringLiteral("auto stored auto"), QStringLiteral("auto stored auto"),
            QStringLiteral("en stored auto") }));
    const Preferences stored = store->current();
    EXPECT_EQ(stored.backendURL, QStringLiteral("https://stored.example/"));
    EXPECT_EQ(stored.customHotkey, std::nullopt);
    EXPECT_FALSE(stored.toJson().contains(QStringLiteral("customHotkey")));
}

TEST_F(SettingsStoreObservableTest, CatchesUpWithOtherWritersSoOnlyTheEditedFieldOverrides)
{
    obs = std::make_unique<SettingsStoreObservable>(store);
    QList<std::optional<QString>> shownMicrophones;
    Subscription watch = obs->selectedMicrophoneUID.subscribe(
        [&](const std::optional<QString>& uid) { shownMicrophones.append(uid); });

    // The tray picks another microphone and something else moves the address.
    Preferences elsewhere = store->current();
    elsewhere.selectedMicrophoneUID = QStringLiteral("headset");
    elsewhere.backendURL = QStringLiteral("https://moved.example/");
    store->update(elsewhere);

    obs->scene.set(QStringLiteral("email"));
    Preferences stored = store->current();
    EXPECT_EQ(stored.scene, QStringLiteral("email"));
    EXPECT_EQ(stored.selectedMicrophoneUID, QStringLiteral("headset"));
    EXPECT_EQ(stored.backendURL, QStringLiteral("https://moved.example/"));
    EXPECT_EQ(obs->selectedMicrophoneUID.value(), QStringLiteral("headset"));
    EXPECT_EQ(
        shownMicrophones, (QList<std::optional<QString>> { QStringLiteral("usb-mic"), QStringLiteral("headset") }));

    // Editing a field back to what the store already holds is no change.
    const std::optional<QUuid> token = obs->savedFlashToken.value();
    elsewhere = store->current();
    elsewhere.style = QStringLiteral("formal");
    store->update(elsewhere);
    events.clear();
    obs->style.set(QStringLiteral("formal"));
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(obs->savedFlashToken.value(), token);
}

} // namespace
} // namespace vellamor::test
