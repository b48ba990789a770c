#include "SettingsWindow/SettingsStoreObservable.h"

namespace vellamor {

template<typename T>
BoundField<T> SettingsStoreObservable::field(T Preferences::* member, const Preferences& initial)
{
    return BoundField<T>(initial.*member, [this, member](const T& value) {
        persist([member, &value](Preferences& prefs) { prefs.*member = value; });
    });
}

SettingsStoreObservable::SettingsStoreObservable(std::shared_ptr<SettingsStore> store)
    : SettingsStoreObservable(store, store->current())
{
}

SettingsStoreObservable::SettingsStoreObservable(std::shared_ptr<SettingsStore> store, const Preferences& initial)
    : language(field(&Preferences::language, initial))
    , scene(field(&Preferences::scene, initial))
    , style(field(&Preferences::style, initial))
    , enableLLMPolish(field(&Preferences::enableLLMPolish, initial))
    , hotkeyMode(field(&Preferences::hotkeyMode, initial))
    , sceneAutoDetect(field(&Preferences::sceneAutoDetect, initial))
    , insertRawOnly(field(&Preferences::insertRawOnly, initial))
    , customHotkey(field(&Preferences::customHotkey, initial))
    , selectedMicrophoneUID(field(&Preferences::selectedMicrophoneUID, initial))
    , selectedLLMProviderName(field(&Preferences::selectedLLMProviderName, initial))
    , store_(std::move(store))
{
}

void SettingsStoreObservable::persist(const std::function<void(Preferences&)>& edit)
{
    const Preferences current = store_->current();
    Preferences next = current;
    edit(next);
    language.follow(next.language);
    scene.follow(next.scene);
    style.follow(next.style);
    enableLLMPolish.follow(next.enableLLMPolish);
    hotkeyMode.follow(next.hotkeyMode);
    sceneAutoDetect.follow(next.sceneAutoDetect);
    insertRawOnly.follow(next.insertRawOnly);
    customHotkey.follow(next.customHotkey);
    selectedMicrophoneUID.follow(next.selectedMicrophoneUID);
    selectedLLMProviderName.follow(next.selectedLLMProviderName);
    if (next == current)
        return;
    store_->update(next);
    savedFlashToken = QUuid::createUuid();
}

} // namespace vellamor
