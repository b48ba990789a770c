#include "TextInsertion/ModifierRelease.h"

namespace vellamor {

QCoro::Task<void> ModifierRelease::wait(std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep,
                                        std::chrono::milliseconds poll, std::chrono::milliseconds timeout)
{
    std::chrono::milliseconds waited{0};
    while (injector->modifiersHeld()) {
        if (waited >= timeout) {
            injector->releaseModifiers();
            co_return;
        }
        co_await sleep(poll);
        waited += poll;
    }
}

} // namespace vellamor
