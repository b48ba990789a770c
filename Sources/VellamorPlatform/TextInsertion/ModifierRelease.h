#pragma once

#include "Platform/KeyInjection/KeyInjector.h"
#include "TextInsertion/InsertionSleep.h"

#include <QCoro/QCoroTask>

#include <chrono>
#include <memory>

namespace vellamor {

// Injected keys combine with the modifiers the user still holds (a Ctrl
// still down from the hotkey turns "a" into select-all). Before injecting,
// wait for them to be released; after `timeout`, release them for the
// applications.
class ModifierRelease {
public:
    // How long it waited.
    static QCoro::Task<std::chrono::milliseconds> wait(std::shared_ptr<platform::KeyInjector> injector,
                                                       InsertionSleep sleep,
                                                       std::chrono::milliseconds poll = std::chrono::milliseconds(20),
                                                       std::chrono::milliseconds timeout = std::chrono::seconds(2));
};

} // namespace vellamor
