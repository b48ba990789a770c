#pragma once

#include "Platform/GlobalInput/GlobalInputMonitor.h"

#include <map>

namespace vellamor::test {

// Global presses that tests make by hand. Records how many monitors of each
// kind are installed; can be told to refuse new ones.
class FakeGlobalInputMonitor final : public platform::GlobalInputMonitor {
public:
    std::optional<Token> addPointerPressMonitor(PointerHandler handler) override
    {
        if (refuse)
            return std::nullopt;
        pointer_.emplace(next_, std::move(handler));
        return next_++;
    }

    std::optional<Token> addKeyPressMonitor(KeyHandler handler) override
    {
        if (refuse)
            return std::nullopt;
        key_.emplace(next_, std::move(handler));
        return next_++;
    }

    void removeMonitor(Token token) override
    {
        pointer_.erase(token);
        key_.erase(token);
    }

    // A left or right button went down at `position`.
    void press(QPoint position) { deliver(pointer_, position); }
    void pressKey(platform::VirtualKeyCode key) { deliver(key_, key); }

    std::size_t pointerMonitors() const { return pointer_.size(); }
    std::size_t keyMonitors() const { return key_.size(); }

    bool refuse = false;

private:
    // As the real monitor does: a handler removed by an earlier one is skipped.
    template<typename Handler, typename Value>
    static void deliver(std::map<Token, Handler>& handlers, Value value)
    {
        const std::map<Token, Handler> pass = handlers;
        for (const auto& [token, handler] : pass) {
            if (handlers.count(token))
                handler(value);
        }
    }

    std::map<Token, PointerHandler> pointer_;
    std::map<Token, KeyHandler> key_;
    Token next_ = 1;
};

} // namespace vellamor::test
