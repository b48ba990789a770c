#include "TestEnvironment.h"

#include "SettingsWindow/SettingsStoreObservable.h"

#include <QDir>

#include <set>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

class SettingsStoreObservableTest : public ::testing::Test {
protected:
    SettingsStoreObservableTest()
    {
        Preferences stored;
        stored.backendURL = u"https://stored.example/"_s;
        stored.selectedMicrophoneUID = u"usb-mic"_s;
        stored.selectedLLMProviderName = u"model-a"_s;
        store->update(stored);
        observer = store->addObserver([this](const Preferences& prefs) {
            // The store tells its observers before the binding's token moves.
            events.append(u"store "_s + prefs.language + (obs && obs->savedFlashToken.value() ? u" after"_s : u""_s));
        });
    }

    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(
        std::make_shared<UserDefaults>(QDir(testHome()).filePath(u"binding.ini"_s)), SettingsStore::standardKey());
    std::shared_ptr<SettingsStore::ObserverToken> observer;
    std::unique_ptr<SettingsStoreObservable> obs;
    QStringList events;
};

TEST_F(SettingsStoreObservableTest, WritesOnlyRealChangesAndFlashesOncePerWrite)
{
    obs = std::make_unique<SettingsStoreObservable>(store);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(obs->selectedMicrophoneUID.value(), u"usb-mic"_s);
    EXPECT_EQ(obs->savedFlashToken.value(), std::nullopt);

    QStringList heard;
    Subscription watch = obs->language.subscribe([&](const QString& value) {
        heard.append(value + u" stored "_s + store->current().language);
    });
    std::set<QUuid> tokens;
    Subscription flashes = obs->savedFlashToken.subscribe([&](const std::optional<QUuid>& token) {
        if (token)
            tokens.insert(*token);
    });

    obs->language.set(u"auto"_s);
    EXPECT_TRUE(events.isEmpty()) << "an equal value writes nothing";
    obs->enableLLMPolish.set(false);
    obs->enableLLMPolish.set(true);
    obs->language.set(u"en"_s);
    obs->customHotkey.set(u"ctrl+k"_s);
    obs->customHotkey.set(std::nullopt);

    EXPECT_EQ(events, (QStringList{u"store auto"_s, u"store auto after"_s, u"store en after"_s, u"store en after"_s,
                                   u"store en after"_s}));
    EXPECT_EQ(tokens.size(), 5u);
    // Subscribers hear an edit before it is written.
    EXPECT_EQ(heard, (QStringList{u"auto stored auto"_s, u"auto stored auto"_s, u"en stored auto"_s}));
    const Preferences stored = store->current();
    EXPECT_EQ(stored.backendURL, u"https://stored.example/"_s);
    EXPECT_EQ(stored.customHotkey, std::nullopt);
    EXPECT_FALSE(stored.toJson().contains(u"customHotkey"_s));
}

TEST_F(SettingsStoreObservableTest, CatchesUpWithOtherWritersSoOnlyTheEditedFieldOverrides)
{
    obs = std::make_unique<SettingsStoreObservable>(store);
    QList<std::optional<QString>> shownMicrophones;
    Subscription watch = obs->selectedMicrophoneUID.subscribe(
        [&](const std::optional<QString>& uid) { shownMicrophones.append(uid); });

    // The tray picks another microphone and something else moves the address.
    Preferences elsewhere = store->current();
    elsewhere.selectedMicrophoneUID = u"headset"_s;
    elsewhere.backendURL = u"https://moved.example/"_s;
    store->update(elsewhere);

    obs->scene.set(u"email"_s);
    Preferences stored = store->current();
    EXPECT_EQ(stored.scene, u"email"_s);
    EXPECT_EQ(stored.selectedMicrophoneUID, u"headset"_s);
    EXPECT_EQ(stored.backendURL, u"https://moved.example/"_s);
    EXPECT_EQ(obs->selectedMicrophoneUID.value(), u"headset"_s);
    EXPECT_EQ(shownMicrophones, (QList<std::optional<QString>>{u"usb-mic"_s, u"headset"_s}));

    // Editing a field back to what the store already holds is no change.
    const std::optional<QUuid> token = obs->savedFlashToken.value();
    elsewhere = store->current();
    elsewhere.style = u"formal"_s;
    store->update(elsewhere);
    events.clear();
    obs->style.set(u"formal"_s);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(obs->savedFlashToken.value(), token);
}

} // namespace
} // namespace vellamor::test
