#pragma once

#include "Support/Async/Published.h"

#include <functional>
#include <utility>

namespace vellamor {

class SettingsStoreObservable;

// One preference field of the settings binding. set() is the user's edit:
// subscribers hear of it first, then the binding writes the preferences.
// Subscribers also hear when the binding catches up with the store.
template<typename T>
class BoundField {
public:
    const T& value() const { return published_.value(); }

    void set(T newValue)
    {
        published_.set(std::move(newValue));
        edited_(published_.value());
    }

    [[nodiscard]] Subscription subscribe(typename Published<T>::Callback callback)
    {
        return published_.subscribe(std::move(callback));
    }

private:
    friend class SettingsStoreObservable;

    BoundField(T initial, std::function<void(const T&)> edited)
        : published_(std::move(initial))
        , edited_(std::move(edited))
    {
    }

    void follow(const T& stored)
    {
        if (published_.value() != stored)
            published_.set(stored);
    }

    Published<T> published_;
    std::function<void(const T&)> edited_;
};

} // namespace vellamor
