#pragma once

#include "Platform/KeyInjection/KeyInjector.h"

#include <memory>
#include <set>

namespace vellamor::test
{

// A real injector seen through the pings it sends after keymap changes:
// passes every call on and counts the pings sent and those whose answer it
// reported, so a caller sees whether the target's answers get through.
class PingCountingKeyInjector final : public platform::KeyInjector
{
public:
    explicit PingCountingKeyInjector(std::shared_ptr<platform::KeyInjector> injector)
        : injector_(std::move(injector))
    {
    }

    int pingsSent() const { return sent_; }
    int pingsAnswered() const { return static_cast<int>(answered_.size()); }

    bool isAvailable() override { return injector_->isAvailable(); }
    std::optional<platform::InjectedKey> keyForCharacter(char32_t character) override
    {
        return injector_->keyForCharacter(character);
    }
    std::optional<platform::InjectedKey> keyForSpecial(platform::SpecialKey key) override
    {
        return injector_->keyForSpecial(key);
    }
    std::vector<int> spareKeyCodes(int count) override { return injector_->spareKeyCodes(count); }
    bool mapKeyCodes(const std::vector<platform::KeyMapping>& mapping) override
    {
        return injector_->mapKeyCodes(mapping);
    }
    std::vector<platform::KeyMapping> ownMappings() override { return injector_->ownMappings(); }
    bool tap(const platform::InjectedKey& key, bool withControl) override { return injector_->tap(key, withControl); }
    TapOutcome tapUnlessModifiersHeld(const platform::InjectedKey& key) override
    {
        return injector_->tapUnlessModifiersHeld(key);
    }
    bool modifiersHeld() override { return injector_->modifiersHeld(); }
    void releaseModifiers() override { injector_->releaseModifiers(); }
    bool capsLockOn() override { return injector_->capsLockOn(); }
    void setCapsLock(bool on) override { injector_->setCapsLock(on); }
    void flush() override { injector_->flush(); }
    std::optional<quint32> pingFocusedWindow() override
    {
        const auto ping = injector_->pingFocusedWindow();
        if (ping)
            ++sent_;
        return ping;
    }
    bool pingAnswered(quint32 ping) override
    {
        const bool answered = injector_->pingAnswered(ping);
        if (answered)
            answered_.insert(ping);
        return answered;
    }
    QStringList activeWindowClass() override { return injector_->activeWindowClass(); }
    std::optional<platform::FocusedWindow> focusedWindow() override { return injector_->focusedWindow(); }

private:
    std::shared_ptr<platform::KeyInjector> injector_;
    int sent_ = 0;
    std::set<quint32> answered_;
};

} // namespace vellamor::test
