#pragma once

#include <QAbstractAnimation>

#include <chrono>

namespace vellamor::test {

// Runs every Qt animation of the process on a clock the test moves, for as
// long as it exists.
class ManualAnimationDriver final : public QAnimationDriver {
public:
    ManualAnimationDriver() { install(); }
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
};

} // namespace vellamor::test
