#pragma once

#include "Support/Async/MainThread.h"
#include "Support/Async/Published.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vellamor {

// Redraws a view once per turn of the event loop, however many of the
// fields it follows changed: published fields deliver before they hold the
// new value, and a reload assigns several, so the redraw waits for the next
// turn of `context`'s loop, when they all hold. Destroying or cancelling
// the batch stops both the following and a redraw already asked for.
class RedrawBatch {
public:
    RedrawBatch(QObject* context, std::function<void()> redraw)
        : state_(std::make_shared<State>(context, std::move(redraw)))
    {
    }
    ~RedrawBatch() { cancel(); }

    RedrawBatch(const RedrawBatch&) = delete;
    RedrawBatch& operator=(const RedrawBatch&) = delete;

    // Each assignment to any of `fields` (published fields, or anything
    // subscribed to like one) asks for a redraw; subscribing delivers the
    // current value, so following asks for one too.
    template<typename... Field>
    void follow(Field&... fields)
    {
        (subscriptions_.push_back(fields.subscribe([this](const auto&) { request(); })), ...);
    }

    void request()
    {
        if (std::exchange(state_->pending, true))
            return;
        postTo(state_->context.data(), [state = state_] {
            state->pending = false;
            if (state->alive)
                state->redraw();
        });
    }

    void cancel()
    {
        state_->alive = false;
        subscriptions_.clear();
    }

private:
    struct State {
        State(QObject* context, std::function<void()> redraw)
            : context(context)
            , redraw(std::move(redraw))
        {
        }
        QPointer<QObject> context;
        std::function<void()> redraw;
        bool pending = false;
        bool alive = true;
    };

    std::shared_ptr<State> state_;
    std::vector<Subscription> subscriptions_;
};

} // namespace vellamor
