#include "App/StepQueue.h"

#include "Support/Async/Spawn.h"

#include <utility>

namespace vellamor {

StepQueue::StepQueue(QObject* owner, QString what)
    : owner_(owner)
    , what_(std::move(what))
{
}

void StepQueue::enqueue(std::function<QCoro::Task<void>()> step)
{
    last_ = spawn(owner_.data(), what_,
                  [previous = last_, owner = owner_, step = std::move(step)](std::stop_token token)
                      -> QCoro::Task<void> {
                      try {
                          co_await previous.join();
                      } catch (...) {
                      }
                      if (token.stop_requested() || !owner)
                          co_return;
                      co_await step();
                  });
}

void StepQueue::cancel()
{
    last_.cancel();
}

} // namespace vellamor
