#include "TextInsertion/ModifierRelease.h"

namespace vellamor {

QCoro::Task<std::chrono::milliseconds> ModifierRelease::wait(std::shared_ptr<platform::KeyInjector> injector,
                                                             InsertionSleep sleep, std::chrono::milliseconds poll,
                                                             std::chrono::milliseconds timeout)
{
    std::chrono::milliseconds waited{0};
    while (injector->modifiersHeld()) {
        if (waited >= timeout) {
            injector->releaseModifiers();
            break;
        }
        co_await sleep(poll);
        waited += poll;
    }
    co_return waited;
}

} // namespace vellamor
