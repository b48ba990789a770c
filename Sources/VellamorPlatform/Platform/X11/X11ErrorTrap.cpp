#include "Platform/X11/X11ErrorTrap.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

namespace vellamor::platform {

// The handler stays installed once set (restoring could undo a handler that
// someone else set meanwhile); errors no trap claims go on to the handler it
// replaced. Xlib is never called under the mutex, so a handler running on
// one thread cannot deadlock with a trap being set up on another.
struct X11ErrorTrapRegistry {
    std::mutex mutex;
    std::vector<X11ErrorTrap*> traps;
    std::atomic<XErrorHandler> previous{nullptr};

    static X11ErrorTrapRegistry& shared()
    {
        static X11ErrorTrapRegistry registry;
        return registry;
    }

    static int handle(Display* display, XErrorEvent* event)
    {
        auto& registry = shared();
        {
            std::lock_guard lock(registry.mutex);
            // The innermost trap of this connection takes the error.
            for (auto it = registry.traps.rbegin(); it != registry.traps.rend(); ++it) {
                if ((*it)->display_ == display) {
                    (*it)->failures_.push_back({event->error_code, event->request_code, event->resourceid});
                    return 0;
                }
            }
        }
        const XErrorHandler forward = registry.previous.load();
        return forward ? forward(display, event) : 0;
    }
};

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display)
{
    auto& registry = X11ErrorTrapRegistry::shared();
    const XErrorHandler replaced = XSetErrorHandler(&X11ErrorTrapRegistry::handle);
    if (replaced != &X11ErrorTrapRegistry::handle)
        registry.previous.store(replaced);
    std::lock_guard lock(registry.mutex);
    registry.traps.push_back(this);
}

X11ErrorTrap::~X11ErrorTrap()
{
    // Errors of requests sent under this trap must arrive while it exists.
    XSync(display_, False);
    auto& registry = X11ErrorTrapRegistry::shared();
    std::lock_guard lock(registry.mutex);
    registry.traps.erase(std::remove(registry.traps.begin(), registry.traps.end(), this), registry.traps.end());
}

std::vector<X11ErrorTrap::Failure> X11ErrorTrap::sync()
{
    XSync(display_, False);
    auto& registry = X11ErrorTrapRegistry::shared();
    std::lock_guard lock(registry.mutex);
    return std::exchange(failures_, {});
}

} // namespace vellamor::platform
