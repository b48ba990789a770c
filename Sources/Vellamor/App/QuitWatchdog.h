#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QObject;

namespace vellamor {

// Ends the process at the latest `limit` after a quit began, whatever holds
// the orderly quit up. Another program can hold it twice over: on the main
// thread (Qt's own accessibility bridge connects there and waits as long as
// the accessibility bus's daemon lets it, minutes when it is stopped), and at
// the end, where the application waits for the threads of its pool and Qt
// for its D-Bus thread. The countdown runs on a thread of its own that
// nothing waits for.
//
// SIGTERM and SIGINT quit as the menu does and start the countdown from the
// signal handler itself, so a main thread that never comes back to its loop
// still ends in time.
class QuitWatchdog {
public:
    // `lastWords` runs on the watchdog's thread right before an immediate
    // exit, while the process is still inside `runProcess`.
    QuitWatchdog(std::chrono::milliseconds limit, std::function<void()> lastWords);
    // Stands down when no quit began. A countdown under way runs on to the
    // end of the process (its static destructors too), without last words.
    ~QuitWatchdog();

    QuitWatchdog(const QuitWatchdog&) = delete;
    QuitWatchdog& operator=(const QuitWatchdog&) = delete;

    // SIGTERM and SIGINT start the countdown and run `quit` on `context`'s
    // thread. One watchdog per process catches them.
    void catchTerminationSignals(QObject* context, std::function<void()> quit);

    // Starts the countdown; later calls leave it as it is. Any thread.
    void quitBegan();

private:
    struct Countdown;
    std::shared_ptr<Countdown> countdown_;
};

} // namespace vellamor
