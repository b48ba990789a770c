#include "Settings/SettingsStore.h"

#include "Logging/VellamorLog.h"

#include <QByteArray>

#include <utility>
#include <vector>

namespace vellamor {

struct SettingsStore::ObserverToken::Shared {
    struct Entry {
        std::uint64_t id;
        Callback callback;
    };

    std::mutex mutex;
    Preferences cached;
    std::vector<Entry> observers;
    std::uint64_t nextObserverID = 0;
    // Counts updates; tells a notification pass or a write whether its value
    // is still the newest.
    std::uint64_t generation = 0;

    void remove(std::uint64_t id)
    {
        const std::lock_guard lock(mutex);
        for (auto it = observers.begin(); it != observers.end(); ++it) {
            if (it->id == id) {
                observers.erase(it);
                return;
            }
        }
    }
};

SettingsStore::ObserverToken::ObserverToken(std::uint64_t id, std::weak_ptr<Shared> store)
    : id_(id)
    , store_(std::move(store))
{
}

SettingsStore::ObserverToken::~ObserverToken()
{
    cancel();
}

void SettingsStore::ObserverToken::cancel()
{
    {
        const std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
        cancelled_ = true;
    }
    if (const auto store = store_.lock())
        store->remove(id_);
}

QString SettingsStore::standardKey()
{
    return QStringLiteral("com.vellamor.preferences");
}

SettingsStore::SettingsStore(std::shared_ptr<UserDefaults> defaults, QString key)
    : SettingsStore(std::move(defaults), std::move(key),
                    VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("settings")))
{
}

SettingsStore::SettingsStore(std::shared_ptr<UserDefaults> defaults, QString key, const VellamorLog& log)
    : defaults_(std::move(defaults))
    , key_(std::move(key))
    , shared_(std::make_shared<ObserverToken::Shared>())
{
    Preferences initial = Preferences::defaultPreferences();
    if (const auto data = defaults_->data(key_)) {
        try {
            initial = Preferences::fromJsonData(*data);
        } catch (const std::exception&) {
            // Unreadable settings fall back to the defaults; the blob stays until the next update.
        }
    }
    if (const QStringList reset = initial.fallBackOutOfRange(); !reset.isEmpty())
        log.warn(QStringLiteral("preferences out of range, using defaults for: ") + reset.join(QStringLiteral(", ")));
    shared_->cached = std::move(initial);
}

SettingsStore::~SettingsStore() = default;

Preferences SettingsStore::current() const
{
    const std::lock_guard lock(shared_->mutex);
    return shared_->cached;
}

void SettingsStore::update(const Preferences& prefs)
{
    std::uint64_t generation = 0;
    std::vector<ObserverToken::Shared::Entry> observers;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->cached = prefs;
        generation = ++shared_->generation;
        observers = shared_->observers;
    }

    persistLatest();

    for (const auto& entry : observers) {
        {
            const std::lock_guard lock(shared_->mutex);
            if (shared_->generation != generation)
                return;
        }
        entry.callback(prefs);
    }
}

void SettingsStore::persistLatest()
{
    const std::lock_guard writeLock(writeMutex_);
    Preferences value;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(shared_->mutex);
        value = shared_->cached;
        generation = shared_->generation;
    }
    if (generation <= persistedGeneration_)
        return;
    QByteArray data;
    try {
        data = value.toJsonData();
    } catch (const std::exception&) {
        return; // nothing stored; observers are still told
    }
    if (defaults_->setData(key_, data))
        persistedGeneration_ = generation;
}

std::shared_ptr<SettingsStore::ObserverToken> SettingsStore::addObserver(Callback callback)
{
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(shared_->mutex);
        id = shared_->nextObserverID++;
        shared_->observers.push_back({ id, std::move(callback) });
    }
    return std::shared_ptr<ObserverToken>(new ObserverToken(id, shared_));
}

void SettingsStore::removeObserver(const ObserverToken& token)
{
    shared_->remove(token.id());
}

bool SettingsStore::hasCompletedOnboarding() const
{
    return defaults_->boolValue(key_ + QStringLiteral(".onboarded"));
}

void SettingsStore::markOnboardingComplete()
{
    defaults_->setBool(key_ + QStringLiteral(".onboarded"), true);
}

} // namespace vellamor
