#include "FakeKeyInjector.h"

namespace vellamor::test
{

namespace
{

constexpr char plain[] = "abcdefghijklmnopqrstuvwxyz0123456789 -=[];',./`\\";
constexpr char shifted[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ)!@#$%^&*( _+{}:\"<>?~|";
constexpr int firstLayoutKey = 60;
constexpr int firstSpareKey = 200;

} // namespace

FakeKeyInjector::FakeKeyInjector(std::shared_ptr<FakeInsertionClock> clock)
    : clock_(std::move(clock))
{
    for (int i = 0; plain[i] != '\0'; ++i) {
        // "v" keeps a fixed code so tests can name the paste chord's key.
        const int keyCode = plain[i] == 'v' ? vKey : firstLayoutKey + i;
        const auto lower = static_cast<char32_t>(plain[i]);
        const auto upper = static_cast<char32_t>(shifted[i]);
        layoutKeys_[keyCode] = { lower, upper };
        layout_.try_emplace(lower, platform::InjectedKey { keyCode, false });
        layout_.try_emplace(upper, platform::InjectedKey { keyCode, true });
    }
}

std::optional<platform::InjectedKey> FakeKeyInjector::keyForCharacter(char32_t character)
{
    if (!available)
        return std::nullopt;
    const auto found = layout_.find(character);
    if (found == layout_.end())
        return std::nullopt;
    return found->second;
}

std::optional<platform::InjectedKey> FakeKeyInjector::keyForSpecial(platform::SpecialKey key)
{
    if (!available)
        return std::nullopt;
    switch (key) {
    case platform::SpecialKey::enter:
        return platform::InjectedKey { enterKey, false };
    case platform::SpecialKey::tab:
        return platform::InjectedKey { tabKey, false };
    case platform::SpecialKey::insert:
        return platform::InjectedKey { insertKey, false };
    }
    return std::nullopt;
}

std::vector<int> FakeKeyInjector::spareKeyCodes(int count)
{
    std::vector<int> codes;
    for (int keyCode = firstSpareKey; keyCode < firstSpareKey + spareCount; ++keyCode) {
        if (static_cast<int>(codes.size()) < count && !mapping_.contains(keyCode))
            codes.push_back(keyCode);
    }
    return codes;
}

bool FakeKeyInjector::mapKeyCodes(const std::vector<platform::KeyMapping>& mapping)
{
    const int call = mapCalls_++;
    if (refuseMappingCall && call == *refuseMappingCall)
        return false;
    mappings_.push_back(mapping);
    MappingChange change { clock_->now, mapping_, {} };
    for (const auto& entry : mapping) {
        const bool clears = entry.plain == 0 && entry.shifted == 0;
        if (clears)
            own_.erase(entry.keyCode);
        else
            own_[entry.keyCode] = entry;
        if (clears || call == vanishingMappingCall)
            mapping_.erase(entry.keyCode);
        else
            mapping_[entry.keyCode] = entry;
    }
    change.after = mapping_;
    history_.push_back(std::move(change));
    return true;
}

std::vector<platform::KeyMapping> FakeKeyInjector::ownMappings()
{
    std::erase_if(own_, [this](const auto& entry) {
        const auto found = mapping_.find(entry.first);
        return found == mapping_.end() || !(found->second == entry.second);
    });
    std::vector<platform::KeyMapping> held;
    for (const auto& [keyCode, mapping] : own_)
        held.push_back(mapping);
    return held;
}

void FakeKeyInjector::replaceKeymap(std::map<int, platform::KeyMapping> spareHeld)
{
    history_.push_back({ clock_->now, mapping_, spareHeld });
    mapping_ = std::move(spareHeld);
    own_.clear();
}

std::optional<quint32> FakeKeyInjector::pingFocusedWindow()
{
    if (!answersPings || !focused)
        return std::nullopt;
    const auto reloaded = history_.empty() ? clock_->now : history_.back().at + keymapDelay;
    pings_.push_back(std::max(clock_->now, reloaded));
    return static_cast<quint32>(pings_.size() - 1);
}

bool FakeKeyInjector::pingAnswered(quint32 ping)
{
    return ping < pings_.size() && clock_->now >= pings_[ping];
}

bool FakeKeyInjector::tap(const platform::InjectedKey& key, bool withControl)
{
    if (refuseTapsFrom && static_cast<int>(taps_.size()) >= *refuseTapsFrom)
        return false;
    taps_.push_back({ key.keyCode, key.shift, withControl, capsLock, clock_->now });
    if (onTap)
        onTap(taps_.back());
    return true;
}

platform::KeyInjector::TapOutcome FakeKeyInjector::tapUnlessModifiersHeld(const platform::InjectedKey& key)
{
    if (modifiersHeld())
        return TapOutcome::modifiersHeld;
    return tap(key, false) ? TapOutcome::tapped : TapOutcome::refused;
}

bool FakeKeyInjector::modifiersHeld()
{
    return modifiersHeldUntil && clock_->now < *modifiersHeldUntil;
}

void FakeKeyInjector::releaseModifiers()
{
    ++releases_;
    modifiersHeldUntil.reset();
}

void FakeKeyInjector::setCapsLock(bool on)
{
    capsLock = on;
    capsLockChanges_.push_back(on);
}

std::map<int, platform::KeyMapping> FakeKeyInjector::mappingAt(std::chrono::milliseconds time) const
{
    std::map<int, platform::KeyMapping> mapping;
    for (const auto& change : history_) {
        if (change.at <= time)
            mapping = change.after;
    }
    return mapping;
}

std::map<int, platform::KeyMapping> FakeKeyInjector::keymapFor(std::size_t index) const
{
    const Tap& tap = taps_[index];
    if (readPerKey > std::chrono::milliseconds(0)) {
        std::chrono::milliseconds readAt { 0 };
        for (std::size_t i = 0; i <= index; ++i)
            readAt = i == 0 ? taps_[i].at : std::max(taps_[i].at, readAt + readPerKey);
        return mappingAt(readAt);
    }
    // Rule 1: a change made less than `keymapDelay` before the tap is not
    // loaded yet.
    const MappingChange* last = nullptr;
    for (const auto& change : history_) {
        if (change.at <= tap.at)
            last = &change;
    }
    if (last && tap.at - last->at < keymapDelay)
        return last->before;
    // Rule 2: a change made less than `keymapDelay` after the tap is loaded
    // before the tap is read.
    for (const auto& change : history_) {
        if (change.at >= tap.at && change.at - tap.at < keymapDelay && &change != last)
            return change.after;
    }
    return mappingAt(tap.at);
}

QString FakeKeyInjector::characterFor(const Tap& tap, const std::map<int, platform::KeyMapping>& mapping) const
{
    if (tap.control)
        return {};
    if (tap.keyCode == enterKey)
        return QStringLiteral("\n");
    if (tap.keyCode == tabKey)
        return QStringLiteral("\t");
    if (const auto key = layoutKeys_.find(tap.keyCode); key != layoutKeys_.end()) {
        bool upper = tap.shift;
        const char32_t lower = key->second.first;
        if (tap.capsLock && lower >= U'a' && lower <= U'z')
            upper = !upper;
        const char32_t character = upper ? key->second.second : lower;
        return QString::fromUcs4(&character, 1);
    }
    if (const auto mapped = mapping.find(tap.keyCode); mapped != mapping.end()) {
        const char32_t character = tap.shift ? mapped->second.shifted : mapped->second.plain;
        return character != 0 ? QString::fromUcs4(&character, 1) : QString();
    }
    return {};
}

QString FakeKeyInjector::typed() const
{
    QString result;
    for (std::size_t i = 0; i < taps_.size(); ++i)
        result += characterFor(taps_[i], keymapFor(i));
    return result;
}

QStringList FakeKeyInjector::races() const
{
    QStringList result;
    for (std::size_t i = 0; i < taps_.size(); ++i) {
        const QString read = characterFor(taps_[i], keymapFor(i));
        const QString sent = characterFor(taps_[i], mappingAt(taps_[i].at));
        if (read != sent)
            result << QStringLiteral("tap %1 at %2 ms: sent \"%3\", read \"%4\"")
                          .arg(i)
                          .arg(taps_[i].at.count())
                          .arg(sent, read);
    }
    return result;
}

} // namespace vellamor::test
