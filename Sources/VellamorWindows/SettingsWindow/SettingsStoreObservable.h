#pragma once

#include "Settings/SettingsStore.h"
#include "SettingsWindow/BoundField.h"
#include "Support/Async/Published.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The settings window's editable copy of the preferences, every field but
// the backend address. An edit writes the whole value through the store
// when anything differs and then publishes a fresh savedFlashToken; an
// equal value writes nothing. Before each write the binding catches up
// with what others stored meanwhile (the tray's microphone choice), so
// only the edited field overrides the store. Main thread only.
class SettingsStoreObservable {
public:
    // Reads the store once; writes nothing.
    explicit SettingsStoreObservable(std::shared_ptr<SettingsStore> store);

    SettingsStoreObservable(const SettingsStoreObservable&) = delete;
    SettingsStoreObservable& operator=(const SettingsStoreObservable&) = delete;

    BoundField<QString> language;
    BoundField<QString> scene;
    BoundField<QString> style;
    BoundField<bool> enableLLMPolish;
    BoundField<QString> hotkeyMode;
    BoundField<bool> sceneAutoDetect;
    BoundField<bool> insertRawOnly;
    BoundField<std::optional<QString>> customHotkey;
    BoundField<std::optional<QString>> selectedMicrophoneUID;
    BoundField<std::optional<QString>> selectedLLMProviderName;

    // New after each write that reached the store; none before the first.
    Published<std::optional<QUuid>> savedFlashToken;

private:
    SettingsStoreObservable(std::shared_ptr<SettingsStore> store, const Preferences& initial);

    template<typename T>
    BoundField<T> field(T Preferences::* member, const Preferences& initial);

    void persist(const std::function<void(Preferences&)>& edit);

    std::shared_ptr<SettingsStore> store_;
};

} // namespace vellamor
