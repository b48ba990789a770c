#pragma once

#include "Support/Async/MainThread.h"

#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace vellamor {

// Keeps a subscription alive; destroying or cancelling it stops delivery.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept
    {
        if (this != &other) {
            cancel();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { cancel(); }

    void cancel()
    {
        if (auto cancel = std::exchange(cancel_, nullptr))
            cancel();
    }

private:
    std::function<void()> cancel_;
};

// An observable field with the rules of a published property: a new
// subscriber gets the current value at once; every assignment, equal or not,
// is delivered synchronously to every subscriber *before* the field holds it
// (a subscriber reading value() during delivery still sees the old value).
// Main-thread only.
template<typename T>
class Published {
public:
    using Callback = std::function<void(const T&)>;

    explicit Published(T initial = T{}) : state_(std::make_shared<State>(std::move(initial))) { }

    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& value() const { return state_->value; }

    void set(T newValue)
    {
        // Copy the list: a callback may subscribe or cancel. One cancelled
        // during this pass is skipped, so no callback outlives its owner.
        std::vector<std::pair<std::uint64_t, std::shared_ptr<Callback>>> pass(state_->subscribers.begin(),
                                                                                state_->subscribers.end());
        for (const auto& [id, callback] : pass) {
            if (state_->subscribers.count(id))
                (*callback)(newValue);
        }
        state_->value = std::move(newValue);
    }

    Published& operator=(T newValue)
    {
        set(std::move(newValue));
        return *this;
    }

    [[nodiscard]] Subscription subscribe(Callback callback)
    {
        const std::uint64_t id = state_->nextId++;
        auto shared = std::make_shared<Callback>(std::move(callback));
        state_->subscribers.emplace(id, shared);
        std::weak_ptr<State> weak = state_;
        Subscription subscription([weak, id] {
            if (auto state = weak.lock())
                state->subscribers.erase(id);
        });
        (*shared)(state_->value);
        return subscription;
    }

    // Like subscribe(), but each value (the current one included) arrives on a
    // later turn of `context`'s event loop, in order, and not after `context`
    // is destroyed or the subscription is cancelled.
    [[nodiscard]] Subscription subscribeQueued(QObject* context, Callback callback)
    {
        auto alive = std::make_shared<bool>(true);
        auto shared = std::make_shared<Callback>(std::move(callback));
        QPointer<QObject> guard(context);
        Subscription inner = subscribe([alive, shared, guard](const T& value) {
            postTo(guard.data(), [alive, shared, value] {
                if (*alive)
                    (*shared)(value);
            });
        });
        auto holder = std::make_shared<Subscription>(std::move(inner));
        return Subscription([alive, holder] {
            *alive = false;
            holder->cancel();
        });
    }

private:
    struct State {
        explicit State(T initial) : value(std::move(initial)) { }

        T value;
        std::uint64_t nextId = 0;
        std::map<std::uint64_t, std::shared_ptr<Callback>> subscribers;
    };

    std::shared_ptr<State> state_;
};

} // namespace vellamor
