#pragma once

#include <QAbstractAnimation>
#include <QPauseAnimation>

#include <chrono>

namespace vellamor::test {

// Runs every Qt animation of the process on a clock the test moves, for as
// long as it exists. An endless animation keeps it running: between a stop
// and the next start Qt measures time on the wall clock, which would leak
// into the animations that start next.
class ManualAnimationDriver final : public QAnimationDriver {
public:
    ManualAnimationDriver() { install(); keepAlive_.setLoopCount(-1); keepAlive_.start(); }
    ~ManualAnimationDriver() override { uninstall(); }

    qint64 elapsed() const override { return elapsed_; }
    void advance() override {}

    void step(std::chrono::milliseconds by)
    {
        elapsed_ += by.count();
        advanceAnimation();
    }

protected:
    // Qt counts from each start of the driver, as with its own.
    void start() override
    {
        elapsed_ = 0;
        QAnimationDriver::start();
    }

private:
    qint64 elapsed_ = 0;
    QPauseAnimation keepAlive_{1000};
};

} // namespace vellamor::test
