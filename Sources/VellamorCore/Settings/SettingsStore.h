#pragma once

#include "Logging/VellamorLog.h"
#include "Settings/Preferences.h"
#include "Settings/UserDefaults.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace vellamor {

// Owns the user's Preferences: loads them once from the user defaults (a JSON
// blob under `key`), hands out copies, replaces and persists them on update,
// and tells observers about every update. Also keeps the one-time onboarding
// flag under key + ".onboarded".
//
// Threads: every member may be called from any thread. The state lock covers
// only the cached value, the observer list and the counters; encoding, the
// file write and the callbacks run outside it. Callbacks run synchronously on
// the thread that called update(), in registration order, even when the value
// is unchanged or could not be stored, and may call back into the store.
//
// Ordering guarantees:
// - The stored blob is never older than the cached value: writes are
//   serialised and each writes the value current when it runs, so once all
//   updates have returned the stored value equals current().
// - An update made while a notification pass is running (from a callback, or
//   from another thread) ends that pass before its next callback: the newer
//   update notifies everyone itself, so no observer receives the older value
//   after it. Across threads this holds for passes that have not yet chosen
//   their next callback when the newer value is stored.
// - An observer removed during a pass may still receive that pass.
// Callbacks must not throw: an exception leaves update() and skips the rest.
class SettingsStore {
public:
    using Callback = std::function<void(const Preferences&)>;

    // Keeps its observer registered for as long as it lives: dropping the
    // last reference without cancel() removes the observer. cancel() may be
    // called any number of times, from any thread, also after the store is gone.
    class ObserverToken {
    public:
        ~ObserverToken();
        ObserverToken(const ObserverToken&) = delete;
        ObserverToken& operator=(const ObserverToken&) = delete;

        std::uint64_t id() const { return id_; }
        void cancel();

    private:
        friend class SettingsStore;
        struct Shared;
        ObserverToken(std::uint64_t id, std::weak_ptr<Shared> store);

        std::uint64_t id_;
        std::weak_ptr<Shared> store_;
        std::mutex mutex_;
        bool cancelled_ = false;
    };

    // The application's key: "com.vellamor.preferences".
    static QString standardKey();

    // Reads and decodes the blob; undecodable or missing data gives the
    // defaults silently and is left in place until the next update. Writes nothing.
    // Values out of their range or form fall back to their defaults
    // (Preferences::fallBackOutOfRange), with one warning naming the fields.
    SettingsStore(std::shared_ptr<UserDefaults> defaults, QString key);
    SettingsStore(std::shared_ptr<UserDefaults> defaults, QString key, const VellamorLog& log);
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const QString& key() const { return key_; }
    const std::shared_ptr<UserDefaults>& defaults() const { return defaults_; }

    Preferences current() const;
    void update(const Preferences& prefs);

    // Not called with the current value at registration. Ids start at 0 and
    // are never reused.
    std::shared_ptr<ObserverToken> addObserver(Callback callback);
    void removeObserver(const ObserverToken& token);

    bool hasCompletedOnboarding() const;
    void markOnboardingComplete();

private:
    void persistLatest();

    std::shared_ptr<UserDefaults> defaults_;
    QString key_;
    std::shared_ptr<ObserverToken::Shared> shared_;
    std::mutex writeMutex_;
    std::uint64_t persistedGeneration_ = 0; // guarded by writeMutex_
};

} // namespace vellamor
