#include "Hotkey/HotkeyMonitor.h"

#include "Hotkey/HotkeyError.h"
#include "Hotkey/MainThreadHotkeyScheduler.h"
#include "Platform/KeySource/KeySourceError.h"

namespace vellamor {

using platform::KeyEvent;
namespace modifierFlag = platform::modifierFlag;

HotkeyMonitor::HotkeyMonitor(std::unique_ptr<platform::KeySource> keySource, Published<bool>& toggle)
    : HotkeyMonitor(std::move(keySource), std::make_unique<MainThreadHotkeyScheduler>(),
                    VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey")), toggle)
{
}

HotkeyMonitor::HotkeyMonitor(std::unique_ptr<platform::KeySource> keySource,
                             std::unique_ptr<HotkeyScheduler> scheduler, VellamorLog log, Published<bool>& toggle)
    : log_(std::move(log))
    , scheduler_(std::move(scheduler))
    , machine_(std::make_unique<HotkeyStateMachine>(*scheduler_, toggle))
    , keySource_(std::move(keySource))
{
}

HotkeyMonitor::~HotkeyMonitor()
{
    if (keySource_)
        keySource_->stop();
}

void HotkeyMonitor::start(HotkeyMode mode, const std::optional<ParsedCombo>& customCombo, EventHandler onEvent)
{
    if (started_)
        return;

    machine_->configure(mode, customCombo, std::move(onEvent));
    std::optional<platform::KeyGrab> grab;
    if (const auto& combo = machine_->customCombo()) {
        log_.info(QStringLiteral("custom hotkey enabled: hotkey=") + QString::number(*combo->keyCode)
                  + QStringLiteral(" modifiers=") + QString::number(combo->modifiers) + QStringLiteral(" fn=")
                  + (combo->fn ? QStringLiteral("true") : QStringLiteral("false")));
        grab = platform::KeyGrab{*combo->keyCode, (combo->modifiers & modifierFlag::combinationModifiers)
                                                      | (combo->fn ? modifierFlag::fn : 0)};
    }

    try {
        keySource_->start(grab, [this](const KeyEvent& event) { return deliver(event); });
    } catch (const platform::KeySourceError& error) {
        log_.warn(QStringLiteral("hotkey key source failed: ") + error.debugDescription());
        throw HotkeyError::tapCreationFailed();
    }
    started_ = true;
    const QString key = machine_->customCombo() ? QStringLiteral("custom") : QStringLiteral("right-ctrl");
    log_.info(QStringLiteral("hotkey tap started mode=") + rawValue(mode) + QStringLiteral(" hotkey=") + key);
}

void HotkeyMonitor::stop()
{
    keySource_->stop();
    started_ = false;
    machine_->reset();
    log_.info(QStringLiteral("hotkey tap stopped"));
}

void HotkeyMonitor::setIgnoringSyntheticInput(bool ignoring)
{
    keySource_->setIgnoringSyntheticInput(ignoring);
}

namespace {

bool isPasteChord(const KeyEvent& event)
{
    using namespace platform;
    if (event.type != KeyEventType::keyDown)
        return false;
    const ModifierFlags held = event.flags & modifierFlag::combinationModifiers;
    if (event.keyCode == virtualKey::v)
        return held == modifierFlag::control || held == (modifierFlag::control | modifierFlag::shift);
    return event.keyCode == virtualKey::insert && held == modifierFlag::shift;
}

} // namespace

bool HotkeyMonitor::deliver(const KeyEvent& event)
{
    if (onPaste_ && isPasteChord(event))
        onPaste_();
    const bool suppress = machine_->shouldSuppress(event);
    machine_->handle(event);
    return suppress;
}

} // namespace vellamor
