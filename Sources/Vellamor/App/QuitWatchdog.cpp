#include "App/QuitWatchdog.h"

#include <QObject>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace vellamor {

namespace {

// The pipes the signal handler writes to: the countdown's and the main thread's.
std::atomic<int> signalCountdownFd{-1};
std::atomic<int> signalQuitFd{-1};

void writeByte(int fd)
{
    const char byte = 1;
    if (fd >= 0)
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
}

void onTerminationSignal(int)
{
    const int saved = errno;
    writeByte(signalCountdownFd.load());
    writeByte(signalQuitFd.load());
    errno = saved;
}

// Close-on-exec, so programs the app starts hold no end; writes never block
// a signal handler.
void openPipe(int (&ends)[2])
{
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("quit watchdog: cannot open a pipe");
    ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
}

void closePipe(int (&ends)[2])
{
    for (int& end : ends) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

} // namespace

struct QuitWatchdog::Countdown {
    Countdown(std::chrono::milliseconds limit, std::function<void()> lastWords)
        : limit(limit)
        , lastWords(std::move(lastWords))
    {
        openPipe(start);
        openPipe(quit);
    }

    ~Countdown()
    {
        closePipe(start);
        closePipe(quit);
    }

    Countdown(const Countdown&) = delete;
    Countdown& operator=(const Countdown&) = delete;

    // A byte on `start` begins the countdown; its write end closed stands it down.
    void run()
    {
        char byte = 0;
        ssize_t read = -1;
        while ((read = ::read(start[0], &byte, 1)) < 0 && errno == EINTR) {
        }
        if (read != 1)
            return;
        std::this_thread::sleep_for(limit);
        const std::lock_guard lock(speaking);
        if (lastWords)
            lastWords();
        ::_exit(EXIT_FAILURE);
    }

    const std::chrono::milliseconds limit;
    int start[2] = {-1, -1};
    int quit[2] = {-1, -1};
    std::mutex speaking;
    std::function<void()> lastWords;
};

QuitWatchdog::QuitWatchdog(std::chrono::milliseconds limit, std::function<void()> lastWords)
    : countdown_(std::make_shared<Countdown>(limit, std::move(lastWords)))
{
    // Detached: a countdown under way must outlive this object and the
    // static destructors after it; the thread holds what it uses.
    std::thread([countdown = countdown_] { countdown->run(); }).detach();
}

QuitWatchdog::~QuitWatchdog()
{
    if (signalCountdownFd.load() == countdown_->start[1]) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        signalCountdownFd = -1;
        signalQuitFd = -1;
    }
    {
        // What the last words use ends with the process's own objects.
        const std::lock_guard lock(countdown_->speaking);
        countdown_->lastWords = nullptr;
    }
    const int startEnd = std::exchange(countdown_->start[1], -1);
    ::close(startEnd);
}

void QuitWatchdog::catchTerminationSignals(QObject* context, std::function<void()> quit)
{
    auto* notifier = new QSocketNotifier(countdown_->quit[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
        [countdown = countdown_, quit = std::move(quit)] {
            char bytes[16];
            [[maybe_unused]] const ssize_t drained = ::read(countdown->quit[0], bytes, sizeof bytes);
            quit();
        });
    signalCountdownFd = countdown_->start[1];
    signalQuitFd = countdown_->quit[1];
    std::signal(SIGTERM, onTerminationSignal);
    std::signal(SIGINT, onTerminationSignal);
}

void QuitWatchdog::quitBegan()
{
    writeByte(countdown_->start[1]);
}

} // namespace vellamor
